// The system DLLs that only some features need, loaded when first called: each once, from the
// system folder, and when one cannot be had every call fails as the Win32 call itself fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Com.h"
#include "toolkit/SystemLibrary.h"

using namespace kelvara::toolkit;

namespace {

std::vector<std::wstring> g_asked;

HMODULE Recording(const wchar_t* fileName) {
  g_asked.emplace_back(fileName);
  return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE Missing(const wchar_t* fileName) {
  g_asked.emplace_back(fileName);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Puts a loader in for one test and the real one back after it.
struct LoaderScope {
  explicit LoaderScope(SystemLibraryLoader loader) : previous(SetSystemLibraryLoader(loader)) {
    g_asked.clear();
  }
  ~LoaderScope() { SetSystemLibraryLoader(previous); }
  SystemLibraryLoader previous;
};

TEST(SystemLibrary, EachDllIsLoadedOnceWhenAFunctionOfItIsFirstCalled) {
  LoaderScope scope(Recording);
  EXPECT_TRUE(g_asked.empty());
  int count = 0;
  LPWSTR* argv = system::CommandLineToArgvW(LR"(prog "a b" c)", &count);
  ASSERT_NE(argv, nullptr);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(argv[1], L"a b");
  LocalFree(argv);
  argv = system::CommandLineToArgvW(L"prog", &count);
  LocalFree(argv);
  EXPECT_EQ(count, 1);

  DWORD handle = 0;
  const DWORD size = system::GetFileVersionInfoSizeW(L"shell32.dll", &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(system::GetFileVersionInfoW(L"shell32.dll", 0, size, info.data()));
  void* fixed = nullptr;
  UINT length = 0;
  EXPECT_TRUE(system::VerQueryValueW(info.data(), L"\\", &fixed, &length));
  EXPECT_GE(length, sizeof(VS_FIXEDFILEINFO));

  {
    const ScopedCom com;
    EXPECT_TRUE(com.Usable());
  }
  EXPECT_EQ(g_asked, (std::vector<std::wstring>{L"shell32.dll", L"version.dll", L"ole32.dll"}));
}

TEST(SystemLibrary, AMissingDllFailsEachCallTheWayTheCallItselfFails) {
  LoaderScope scope(Missing);
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  EXPECT_FALSE(system::Shell_NotifyIconW(NIM_ADD, &data));
  HICON icon = nullptr;
  EXPECT_EQ(system::ExtractIconExW(L"shell32.dll", 0, &icon, nullptr, 1), 0u);
  EXPECT_EQ(icon, nullptr);
  const auto opened = reinterpret_cast<INT_PTR>(
      system::ShellExecuteW(nullptr, nullptr, L"https://example.org/", nullptr, nullptr, SW_SHOWNORMAL));
  EXPECT_LE(opened, 32) << "a value up to 32 is ShellExecute's failure";
  int count = -1;
  EXPECT_EQ(system::CommandLineToArgvW(L"prog a", &count), nullptr);

  const HRESULT initialised = system::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(initialised, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  void* object = &count;
  constexpr CLSID kAnyClass = {0x6b7e1c52, 0x0d3a, 0x4f5e, {0x9a, 0x11, 0x2c, 0x3d, 0x4e, 0x5f, 0x60, 0x71}};
  EXPECT_TRUE(FAILED(system::CoCreateInstance(kAnyClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object)));
  EXPECT_EQ(object, nullptr) << "no stale pointer for the caller to release";
  system::CoUninitialize();  // owed after no success, and harmless

  DWORD handle = 0;
  EXPECT_EQ(system::GetFileVersionInfoSizeW(L"shell32.dll", &handle), 0u);
  BYTE block[64] = {};
  EXPECT_FALSE(system::GetFileVersionInfoW(L"shell32.dll", 0, sizeof block, block));
  void* value = nullptr;
  UINT length = 0;
  EXPECT_FALSE(system::VerQueryValueW(block, L"\\", &value, &length));

  // What the toolkit builds on them: COM reads as unusable, as when the call refuses.
  const ScopedCom com;
  EXPECT_FALSE(com.Usable());
}

TEST(SystemLibrary, ADllThatFailedToLoadIsTriedAgainAtTheNextCall) {
  {
    LoaderScope scope(Missing);
    int count = 0;
    EXPECT_EQ(system::CommandLineToArgvW(L"prog", &count), nullptr);
    EXPECT_EQ(system::CommandLineToArgvW(L"prog", &count), nullptr);
    EXPECT_EQ(g_asked.size(), 2u) << "a failure is not kept";
  }
  int count = 0;
  LPWSTR* argv = system::CommandLineToArgvW(L"prog x", &count);
  ASSERT_NE(argv, nullptr);
  EXPECT_EQ(count, 2);
  LocalFree(argv);
}

}  // namespace
