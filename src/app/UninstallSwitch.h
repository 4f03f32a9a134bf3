// What kelvara.exe does for its installer: "kelvara.exe --remove-startup-entry machine|user"
// removes the start-with-Windows entry of that scope (HKLM or HKCU ...\CurrentVersion\Run,
// "Kelvara Dictionary") when the entry starts this very program file, and ends without a window.
// The installer runs it while uninstalling, before the program file goes; an entry that starts a
// copy elsewhere is left alone.
#pragma once

#include <optional>
#include <string_view>

#include "StartUpEntry.h"

namespace kelvara {

// The exit code when the command line asks for the installer's work (and that work is done),
// nothing when the program is to start as usual.
std::optional<int> RunInstallerSwitch(std::wstring_view commandLine,
                                      std::wstring_view appExePath);

// True when the stored entry is the command that starts appExePath with "-t": exactly what the
// Options dialog writes, but with letter case ignored in the path, since Windows would start
// the same file from it.
bool EntryStartsProgram(std::wstring_view storedText, std::wstring_view appExePath);

// Deletes the entry at `where` when it starts appExePath; true when it was deleted.
bool RemoveStartUpEntryOf(const RegLocation& where, std::wstring_view appExePath);

}  // namespace kelvara
