#include "SystemLibrary.h"

#include <atomic>
#include <iterator>

namespace kelvara::toolkit {

namespace {

constexpr const wchar_t* kFileNames[] = {L"shell32.dll", L"ole32.dll", L"version.dll"};

HMODULE LoadFromSystemFolder(const wchar_t* fileName) {
  // The system folder only: version.dll is no known DLL, and one planted beside the program or
  // in the current folder must never be loaded in its place.
  return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::atomic<SystemLibraryLoader> g_loader{nullptr};
std::atomic<HMODULE> g_modules[std::size(kFileNames)];

HMODULE Module(SystemLibrary library) {
  std::atomic<HMODULE>& slot = g_modules[static_cast<int>(library)];
  if (HMODULE loaded = slot.load(std::memory_order_acquire)) return loaded;
  const SystemLibraryLoader loader = g_loader.load(std::memory_order_acquire);
  const wchar_t* const name = kFileNames[static_cast<int>(library)];
  // Two threads may both load it: the loader counts references, and one handle is as good as
  // the other.
  HMODULE loaded = loader ? loader(name) : LoadFromSystemFolder(name);
  if (loaded) slot.store(loaded, std::memory_order_release);
  return loaded;
}

template <class Fn>
Fn* Function(SystemLibrary library, const char* name) {
  return reinterpret_cast<Fn*>(reinterpret_cast<void*>(SystemProc(library, name)));
}

// The HRESULT of a failed load; never a success, whatever GetLastError holds.
HRESULT LoadFailure() {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

FARPROC SystemProc(SystemLibrary library, const char* name) {
  HMODULE module = Module(library);
  return module ? GetProcAddress(module, name) : nullptr;
}

SystemLibraryLoader SetSystemLibraryLoader(SystemLibraryLoader loader) {
  const SystemLibraryLoader previous = g_loader.exchange(loader);
  for (std::atomic<HMODULE>& slot : g_modules) slot.store(nullptr);
  return previous;
}

namespace system {

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
  const auto fn = Function<decltype(::Shell_NotifyIconW)>(SystemLibrary::Shell32, "Shell_NotifyIconW");
  return fn ? fn(message, data) : FALSE;
}

UINT ExtractIconExW(const wchar_t* file, int index, HICON* largeIcons, HICON* smallIcons, UINT icons) {
  const auto fn = Function<decltype(::ExtractIconExW)>(SystemLibrary::Shell32, "ExtractIconExW");
  return fn ? fn(file, index, largeIcons, smallIcons, icons) : 0;
}

HINSTANCE ShellExecuteW(HWND owner, const wchar_t* operation, const wchar_t* file,
                        const wchar_t* parameters, const wchar_t* directory, int showCommand) {
  const auto fn = Function<decltype(::ShellExecuteW)>(SystemLibrary::Shell32, "ShellExecuteW");
  // Values up to 32 are errors; this one says that a DLL was missing.
  return fn ? fn(owner, operation, file, parameters, directory, showCommand)
            : reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
}

LPWSTR* CommandLineToArgvW(const wchar_t* commandLine, int* count) {
  const auto fn = Function<decltype(::CommandLineToArgvW)>(SystemLibrary::Shell32, "CommandLineToArgvW");
  return fn ? fn(commandLine, count) : nullptr;
}

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
  const auto fn = Function<decltype(::CoInitializeEx)>(SystemLibrary::Ole32, "CoInitializeEx");
  return fn ? fn(reserved, flags) : LoadFailure();
}

void CoUninitialize() {
  // Only ever owed after a successful CoInitializeEx, which loaded ole32.
  if (const auto fn = Function<decltype(::CoUninitialize)>(SystemLibrary::Ole32, "CoUninitialize")) fn();
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId,
                         void** object) {
  const auto fn = Function<decltype(::CoCreateInstance)>(SystemLibrary::Ole32, "CoCreateInstance");
  if (fn) return fn(classId, outer, context, interfaceId, object);
  const HRESULT failure = LoadFailure();
  if (object) *object = nullptr;
  return failure;
}

DWORD GetFileVersionInfoSizeW(const wchar_t* file, DWORD* handle) {
  const auto fn = Function<decltype(::GetFileVersionInfoSizeW)>(SystemLibrary::Version, "GetFileVersionInfoSizeW");
  return fn ? fn(file, handle) : 0;
}

BOOL GetFileVersionInfoW(const wchar_t* file, DWORD handle, DWORD size, void* data) {
  const auto fn = Function<decltype(::GetFileVersionInfoW)>(SystemLibrary::Version, "GetFileVersionInfoW");
  return fn ? fn(file, handle, size, data) : FALSE;
}

BOOL VerQueryValueW(const void* block, const wchar_t* subBlock, void** buffer, UINT* length) {
  const auto fn = Function<decltype(::VerQueryValueW)>(SystemLibrary::Version, "VerQueryValueW");
  return fn ? fn(block, subBlock, buffer, length) : FALSE;
}

}  // namespace system

}  // namespace kelvara::toolkit
