// Raw registry access for the tests, independent of the code under test: the tests put values
// in place and look at what was stored, byte for byte.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace regtest {

// Every scratch key lives below this one, in the test prefix's HKLM.
inline const std::wstring kTestRoot = L"SOFTWARE\\Kelvara Tests";

struct StoredValue {
  DWORD Type = REG_NONE;
  std::vector<BYTE> Bytes;

  std::wstring Text() const {
    std::wstring text(Bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), Bytes.data(), text.size() * sizeof(wchar_t));
    return text;
  }
};

inline bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline std::optional<StoredValue> ReadRaw(HKEY root, const std::wstring& path,
                                          const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  StoredValue value;
  DWORD size = 0;
  LONG err = RegQueryValueExW(key, name.c_str(), nullptr, &value.Type, nullptr, &size);
  if (err == ERROR_SUCCESS) {
    value.Bytes.resize(size);
    err = RegQueryValueExW(key, name.c_str(), nullptr, &value.Type, value.Bytes.data(), &size);
    value.Bytes.resize(size);
  }
  RegCloseKey(key);
  if (err != ERROR_SUCCESS) return std::nullopt;
  return value;
}

inline void PutRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                   const void* data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const LONG err = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
  ASSERT_EQ(err, ERROR_SUCCESS);
}

inline void PutText(HKEY root, const std::wstring& path, const std::wstring& name,
                    const std::wstring& text, DWORD type = REG_SZ) {
  PutRaw(root, path, name, type, text.c_str(),
         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline void DeleteRaw(HKEY root, const std::wstring& path, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

// Gives the key a DACL: SDDL such as "D:P(A;;KR;;;WD)" (everyone may only read).
inline LONG SetKeyDacl(HKEY root, const std::wstring& path, const wchar_t* sddl) {
  HKEY key = nullptr;
  LONG err = RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key);
  if (err != ERROR_SUCCESS) return err;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) {
    RegCloseKey(key);
    return static_cast<LONG>(GetLastError());
  }
  err = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
  LocalFree(sd);
  RegCloseKey(key);
  return err;
}

// Opens a key and every key below it to everyone again, so that a locked tree can be removed.
inline void UnlockTree(HKEY root, const std::wstring& path) {
  SetKeyDacl(root, path, L"D:P(A;;KA;;;WD)");
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::vector<std::wstring> children;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    children.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) UnlockTree(root, path + L"\\" + child);
}

// A fresh, empty key of the test's own below HKLM\SOFTWARE\Kelvara Tests, gone afterwards. Lock()
// makes it read-only for everyone, as HKLM is for a user without administrator rights.
class ScratchKey : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    path_ = kTestRoot + L"\\" + std::wstring(name.begin(), name.end());
    Remove();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void TearDown() override { Remove(); }

  // Makes the key (the scratch key itself by default) read-only for everyone.
  void Lock(const std::wstring& path = {}) {
    const std::wstring& target = path.empty() ? path_ : path;
    ASSERT_EQ(SetKeyDacl(HKEY_LOCAL_MACHINE, target, L"D:P(A;;KR;;;WD)"), ERROR_SUCCESS);
    // The lock must really refuse writes, or the refusal tests would prove nothing.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, target.c_str(), &key), ERROR_SUCCESS);
    const wchar_t probe[] = L"x";
    const LONG err = RegSetValueExW(key, L"lock probe", 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(probe), sizeof probe);
    RegCloseKey(key);
    ASSERT_EQ(err, ERROR_ACCESS_DENIED);
  }

  const std::wstring& Path() const { return path_; }

 private:
  void Remove() {
    if (!KeyExists(HKEY_LOCAL_MACHINE, path_)) return;
    UnlockTree(HKEY_LOCAL_MACHINE, path_);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
  }

  std::wstring path_;
};

}  // namespace regtest
