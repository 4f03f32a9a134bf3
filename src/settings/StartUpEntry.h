// The start-with-Windows entry behind the Options dialog's check box chkStartUp: a text value in
// the machine-wide Run key that makes Windows start the program hidden in the tray ("-t").
//
// The dialog's handlers call these: Form_Load asks ReadStartUpChecked, cmdOK_Click calls
// SaveStartUp and, when it did not succeed, shows StartUpNotSavedText(result.Error).
#pragma once

#include "MMZModule.h"
#include "shared/Constants.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace kelvara {

// Where the entry lives. Tests point the same code at a key of their own.
struct RegLocation {
  HKEY Root;
  std::wstring SubKey;
  std::wstring ValueName;
};

inline constexpr wchar_t RunKeyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The entry's name in the list of programs Windows starts: the product's name.
inline constexpr const wchar_t* RunValueName = kelvara::kProductName;

// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run, value "Kelvara Dictionary".
RegLocation StartUpEntryLocation();

// The command Windows runs: the program path in double quotes, a blank and "-t".
std::wstring RunEntryText(std::wstring_view AppExePath);

// The box is checked only when the stored text is exactly the command for this program file:
// a moved or renamed program, other letter case or another switch all leave it unchecked.
bool StartUpEntryMatches(std::wstring_view StoredText, std::wstring_view AppExePath);

// Reads the entry afresh and decides the check box.
bool ReadStartUpChecked(std::wstring_view AppExePath,
                        const RegLocation& Where = StartUpEntryLocation());

// Writes the entry when Checked, deletes it otherwise; done on every save, changed or not.
// Succeeds also when the registry refused the change but already holds what was asked for, so a
// user without administrator rights who saves without changing anything sees no error.
RegResult SaveStartUp(bool Checked, std::wstring_view AppExePath,
                      const RegLocation& Where = StartUpEntryLocation());

// The Persian message telling the user the setting was not saved, with the reason: no
// administrator rights for access denied, otherwise the system's own text for the error.
std::wstring StartUpNotSavedText(LONG Error);

}  // namespace kelvara
