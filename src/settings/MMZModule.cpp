#include "MMZModule.h"

#include <algorithm>
#include <limits>

namespace kelvara {

namespace {

// Owns a key opened here. RegOpenKeyW and RegCreateKeyW hand back the root itself for an empty
// sub-key; that handle belongs to the caller and must stay open.
class OpenedKey {
 public:
  OpenedKey(HKEY root, HKEY key) noexcept : root_(root), key_(key) {}
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (key_ != nullptr && key_ != root_) RegCloseKey(key_);
  }
  HKEY get() const noexcept { return key_; }

 private:
  HKEY root_;
  HKEY key_;
};

// A value can change size between asking for its size and reading it; a few tries are enough
// for anything but a deliberate race.
constexpr int kReadAttempts = 4;

}  // namespace

RegResult SetRegString(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName,
                       const std::wstring& ValueData) {
  // The size of a REG_SZ counts its terminating zero; readers that trust it get a proper string.
  const size_t bytes = (ValueData.size() + 1) * sizeof(wchar_t);
  if (bytes > std::numeric_limits<DWORD>::max()) return {ERROR_INVALID_PARAMETER};

  HKEY raw = nullptr;
  LONG err = RegCreateKeyW(RootKey, SubKey.c_str(), &raw);
  OpenedKey key(RootKey, raw);
  if (err != ERROR_SUCCESS) return {err};
  err = RegSetValueExW(key.get(), ValueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(ValueData.c_str()), static_cast<DWORD>(bytes));
  return {err};
}

RegResult DeleteRegValue(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName) {
  HKEY raw = nullptr;
  LONG err = RegCreateKeyW(RootKey, SubKey.c_str(), &raw);
  OpenedKey key(RootKey, raw);
  if (err != ERROR_SUCCESS) {
    // A key that cannot be created because it does not exist holds no value to delete.
    HKEY probe = nullptr;
    const LONG open = RegOpenKeyW(RootKey, SubKey.c_str(), &probe);
    OpenedKey probed(RootKey, probe);
    return {open == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err};
  }
  err = RegDeleteValueW(key.get(), ValueName.c_str());
  if (err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND) return {};
  // A key we may only read refuses every delete, even of a value that is not there; the user
  // who asked for no value has it, which is not a failure worth reporting.
  const LONG query = RegQueryValueExW(key.get(), ValueName.c_str(), nullptr, nullptr, nullptr, nullptr);
  return {query == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err};
}

std::wstring GetRegValue(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName) {
  HKEY raw = nullptr;
  const LONG err = RegOpenKeyW(RootKey, SubKey.c_str(), &raw);
  OpenedKey key(RootKey, raw);
  if (err != ERROR_SUCCESS) return {};
  return ReadRegValue(key.get(), ValueName);
}

std::wstring ReadRegValue(HKEY KeyHandle, const std::wstring& ValueName) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(KeyHandle, ValueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      return {};
    if (type != REG_SZ) return {};

    // Sized in whole characters, an odd byte count rounded up; the read is told the buffer's
    // real size, so the registry never writes past it.
    std::wstring text((static_cast<size_t>(size) + 1) / sizeof(wchar_t), L'\0');
    DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const LONG err = RegQueryValueExW(KeyHandle, ValueName.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(text.data()), &got);
    if (err == ERROR_MORE_DATA) continue;
    if (err != ERROR_SUCCESS || type != REG_SZ) return {};

    // A value stored without its terminating zero is taken whole; one with a zero ends there.
    text.resize(std::min(text.size(), (static_cast<size_t>(got) + 1) / sizeof(wchar_t)));
    const size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
  }
  return {};
}

}  // namespace kelvara
