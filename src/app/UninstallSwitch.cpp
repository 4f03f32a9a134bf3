#include "UninstallSwitch.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "toolkit/SystemLibrary.h"

namespace kelvara {

namespace {
constexpr std::wstring_view kRemoveSwitch = L"--remove-startup-entry";

// Whether some argument may read as the switch. Parsing takes out quotes, and backslashes only
// where a backslash or a quote remains: an argument can equal the switch only if the switch's
// letters stand in a row once the quotes are gone. Most starts have no such text, and then
// shell32 is not loaded to parse their command line.
bool MayHoldSwitch(std::wstring_view commandLine) {
  std::wstring unquoted;
  unquoted.reserve(commandLine.size());
  for (const wchar_t c : commandLine) {
    if (c != L'"') unquoted.push_back(c);
  }
  return unquoted.find(kRemoveSwitch) != std::wstring::npos;
}

std::vector<std::wstring> Arguments(std::wstring_view commandLine) {
  std::vector<std::wstring> args;
  int count = 0;
  const std::wstring line(commandLine);
  if (LPWSTR* argv = toolkit::system::CommandLineToArgvW(line.c_str(), &count)) {
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);  // [0] is the program
    LocalFree(argv);
  }
  return args;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
}  // namespace

bool EntryStartsProgram(std::wstring_view storedText, std::wstring_view appExePath) {
  const std::wstring expected = RunEntryText(appExePath);
  // The quotes and the switch exactly; the path as Windows compares paths.
  constexpr std::wstring_view kTail = L"\" -t";
  if (storedText.size() != expected.size() || storedText.empty() || storedText.front() != L'"' ||
      !storedText.ends_with(kTail))
    return false;
  return SameIgnoringCase(storedText.substr(1, storedText.size() - 1 - kTail.size()), appExePath);
}

bool RemoveStartUpEntryOf(const RegLocation& where, std::wstring_view appExePath) {
  if (!EntryStartsProgram(GetRegValue(where.Root, where.SubKey, where.ValueName), appExePath))
    return false;
  return DeleteRegValue(where.Root, where.SubKey, where.ValueName).Succeeded();
}

std::optional<int> RunInstallerSwitch(std::wstring_view commandLine,
                                      std::wstring_view appExePath) {
  if (!MayHoldSwitch(commandLine)) return std::nullopt;
  const std::vector<std::wstring> args = Arguments(commandLine);
  if (args.empty() || args[0] != kRemoveSwitch) return std::nullopt;
  // The machine's entry when the installer runs it with its own rights, the user's when it
  // runs it as the user who uninstalls. Nothing is reported: the uninstall goes on either way.
  const bool machine = args.size() < 2 || args[1] != L"user";
  const StartUpKeys keys = StartUpEntryLocation();
  RemoveStartUpEntryOf(machine || !keys.PerUser ? keys.MachineWide : *keys.PerUser, appExePath);
  return 0;
}

}  // namespace kelvara
