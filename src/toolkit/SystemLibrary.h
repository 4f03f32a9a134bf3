// The calls into shell32, ole32 and version that only some features make (the tray icon, speech,
// the About dialog's link, the installer's switch), through DLLs loaded when first needed. Linked
// in, those DLLs (and under Wine the ones they pull in: combase, rpcrt4, shlwapi, ...) would be
// mapped and initialised before the main window could show, at every start.
//
// Each function has the signature and the failure value of the Win32 call of the same name; when
// its DLL or the function cannot be had it fails that way, with GetLastError (or the HRESULT)
// saying why, so every caller keeps the handling it has for a failure of the call itself.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace kelvara::toolkit {

enum class SystemLibrary { Shell32, Ole32, Version };

// The function's address, its DLL loaded from the system folder (never the program's or the
// current one) on the first call; nullptr with the reason in GetLastError when it cannot be had.
// A DLL, once loaded, stays for the life of the program.
FARPROC SystemProc(SystemLibrary library, const char* name);

// Tests: what loads a DLL by its file name ("shell32.dll") in place of LoadLibraryExW; nullptr
// restores the real loader. DLLs loaded before are forgotten (not freed). Returns the previous
// loader.
using SystemLibraryLoader = HMODULE (*)(const wchar_t* fileName);
SystemLibraryLoader SetSystemLibraryLoader(SystemLibraryLoader loader);

namespace system {

// shell32
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
UINT ExtractIconExW(const wchar_t* file, int index, HICON* largeIcons, HICON* smallIcons, UINT icons);
HINSTANCE ShellExecuteW(HWND owner, const wchar_t* operation, const wchar_t* file,
                        const wchar_t* parameters, const wchar_t* directory, int showCommand);
LPWSTR* CommandLineToArgvW(const wchar_t* commandLine, int* count);

// ole32
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId,
                         void** object);

// version
DWORD GetFileVersionInfoSizeW(const wchar_t* file, DWORD* handle);
BOOL GetFileVersionInfoW(const wchar_t* file, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueW(const void* block, const wchar_t* subBlock, void** buffer, UINT* length);

}  // namespace system

}  // namespace kelvara::toolkit
