// The start-with-Windows entry behind the Options dialog's check box chkStartUp: a text value in
// the machine-wide Run key that makes Windows start the program hidden in the tray ("-t"), or,
// where the machine-wide key refuses the user (UAC keeps HKLM from a program started as the
// user, administrators included), the same value in the user's own Run key.
//
// The dialog's handlers call these: Form_Load asks ReadStartUpChecked, cmdOK_Click calls
// SaveStartUp and, when it did not succeed, shows StartUpNotSavedText(result.Error).
#pragma once

#include "MMZModule.h"
#include "shared/Constants.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// The two places the entry may live: machine-wide first, the user's own key where the machine
// refuses. A single location (as tests give) has no fallback.
struct StartUpKeys {
  StartUpKeys(RegLocation machineWide) : MachineWide(std::move(machineWide)) {}
  StartUpKeys(RegLocation machineWide, RegLocation perUser)
      : MachineWide(std::move(machineWide)), PerUser(std::move(perUser)) {}
  RegLocation MachineWide;
  std::optional<RegLocation> PerUser;
};

// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run, falling back to the same
// key and value under HKEY_CURRENT_USER; value "Kelvara Dictionary".
StartUpKeys StartUpEntryLocation();

// The command Windows runs: the program path in double quotes, a blank and "-t".
std::wstring RunEntryText(std::wstring_view AppExePath);

// The box is checked only when the stored text is exactly the command for this program file:
// a moved or renamed program, other letter case or another switch all leave it unchecked.
bool StartUpEntryMatches(std::wstring_view StoredText, std::wstring_view AppExePath);

// Reads the entry afresh and decides the check box: checked when either key holds exactly the
// command.
bool ReadStartUpChecked(std::wstring_view AppExePath,
                        const StartUpKeys& Where = StartUpEntryLocation());

// Writes the entry when Checked, deletes it otherwise; done on every save, changed or not.
// Checked: machine-wide where that key takes it, else in the user's key, and never in both
// (Windows would start the program twice). Unchecked: removed from both; a machine-wide entry
// that cannot be removed is a failure. Succeeds also when the registry refused the change but
// already holds what was asked for, so a user who saves without changing anything sees no error.
RegResult SaveStartUp(bool Checked, std::wstring_view AppExePath,
                      const StartUpKeys& Where = StartUpEntryLocation());

// The Persian message telling the user the setting was not saved, with the reason: no
// administrator rights for access denied, otherwise the system's own text for the error.
std::wstring StartUpNotSavedText(LONG Error);

}  // namespace kelvara
