// MMZModule: the few registry helpers the Options dialog needs. The writers open the key with
// RegCreateKeyW (creating it when missing), the readers with RegOpenKeyW (never creating it);
// every key opened here is closed before the call returns.
//
// Writes report their outcome: a machine-wide key refuses writes from users without
// administrator rights, and the dialog has to say so instead of pretending it saved.
#pragma once

#include <windows.h>

#include <string>

namespace kelvara {

// The outcome of a registry write or delete: the Win32 error code of the call that refused it,
// ERROR_SUCCESS when the registry now holds what was asked for.
struct RegResult {
  LONG Error = ERROR_SUCCESS;

  bool Succeeded() const noexcept { return Error == ERROR_SUCCESS; }
  explicit operator bool() const noexcept { return Succeeded(); }
};

// Creates or overwrites ValueName under RootKey\SubKey as REG_SZ holding ValueData, terminating
// zero included. The key is created when it does not exist.
RegResult SetRegString(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName,
                       const std::wstring& ValueData);

// Deletes ValueName under RootKey\SubKey, creating the key when it does not exist. A value that
// is not there afterwards counts as deleted, also when the registry refused the delete because
// there was nothing to delete.
RegResult DeleteRegValue(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName);

// The text of ValueName under RootKey\SubKey; empty when the key or the value is missing or the
// value is not REG_SZ. Never creates the key.
std::wstring GetRegValue(HKEY RootKey, const std::wstring& SubKey, const std::wstring& ValueName);

// The text of ValueName in an open key: up to the first zero character, or all of it when it
// was stored without one. Empty for a missing value and for any type other than REG_SZ.
std::wstring ReadRegValue(HKEY KeyHandle, const std::wstring& ValueName);

}  // namespace kelvara
