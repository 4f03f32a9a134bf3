// The installer's errand: removing the start-with-Windows entry of the program being uninstalled
// and no other.
#include <gtest/gtest.h>

#include "../settings/RegistryTestSupport.h"
#include "UninstallSwitch.h"
#include "toolkit/SystemLibrary.h"

using namespace kelvara;

namespace {

const std::wstring kProgram = L"C:\\Program Files\\Kelvara Dictionary\\kelvara.exe";

TEST(UninstallEntryMatch, TheInstalledProgramsCommandInAnyLetterCase) {
  EXPECT_TRUE(EntryStartsProgram(RunEntryText(kProgram), kProgram));
  EXPECT_TRUE(EntryStartsProgram(
      L"\"c:\\PROGRAM FILES\\kelvara dictionary\\Kelvara.EXE\" -t", kProgram));
}

TEST(UninstallEntryMatch, AnotherCopyOrAnotherCommandIsNotOurs) {
  EXPECT_FALSE(EntryStartsProgram(L"\"D:\\Tools\\kelvara.exe\" -t", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"\"" + kProgram + L"\"", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"\"" + kProgram + L"\" -T", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"\"" + kProgram + L"\"  -t", kProgram));
  EXPECT_FALSE(EntryStartsProgram(kProgram + L" -t", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"\"" + kProgram + L"x\" -t", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"", kProgram));
  EXPECT_FALSE(EntryStartsProgram(L"\"", kProgram));
}

class UninstallEntryRemoval : public regtest::ScratchKey {};

TEST_F(UninstallEntryRemoval, RemovesOursAndLeavesAnotherCopysEntry) {
  const RegLocation where{HKEY_LOCAL_MACHINE, Path(), L"Kelvara Dictionary"};
  regtest::PutText(HKEY_LOCAL_MACHINE, Path(), where.ValueName, L"\"D:\\kelvara.exe\" -t");
  EXPECT_FALSE(RemoveStartUpEntryOf(where, kProgram));
  EXPECT_TRUE(regtest::ReadRaw(HKEY_LOCAL_MACHINE, Path(), where.ValueName));

  regtest::PutText(HKEY_LOCAL_MACHINE, Path(), where.ValueName, RunEntryText(kProgram));
  EXPECT_TRUE(RemoveStartUpEntryOf(where, kProgram));
  EXPECT_FALSE(regtest::ReadRaw(HKEY_LOCAL_MACHINE, Path(), where.ValueName));
  // Nothing there: nothing to do, and no key made.
  EXPECT_FALSE(RemoveStartUpEntryOf({HKEY_LOCAL_MACHINE, Path() + L"\\none", L"x"}, kProgram));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, Path() + L"\\none"));
}

TEST(UninstallSwitch, OnlyTheInstallersSwitchIsTakenUp) {
  EXPECT_FALSE(RunInstallerSwitch(L"kelvara.exe", kProgram));
  EXPECT_FALSE(RunInstallerSwitch(L"kelvara.exe -t", kProgram));
  EXPECT_FALSE(RunInstallerSwitch(L"\"C:\\a b\\kelvara.exe\" --remove-startup-entryx", kProgram));
}

std::vector<std::wstring> g_loaded;
HMODULE RecordingLoader(const wchar_t* fileName) {
  g_loaded.emplace_back(fileName);
  return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

TEST(UninstallSwitch, AnOrdinaryStartDoesNotLoadTheShellToReadItsCommandLine) {
  g_loaded.clear();
  const auto previous = toolkit::SetSystemLibraryLoader(RecordingLoader);
  EXPECT_FALSE(RunInstallerSwitch(L"\"C:\\a b\\kelvara.exe\" -t", kProgram));
  EXPECT_FALSE(RunInstallerSwitch(L"kelvara.exe --remove-startup", kProgram));
  EXPECT_TRUE(g_loaded.empty());
  // Text that may be the switch is parsed by the shell, which finds it is not.
  EXPECT_FALSE(RunInstallerSwitch(L"kelvara.exe x --remove-startup-entry", kProgram));
  EXPECT_EQ(g_loaded, std::vector<std::wstring>{L"shell32.dll"});
  toolkit::SetSystemLibraryLoader(previous);
}

TEST(UninstallSwitch, TheSwitchIsTakenUpWithQuotesAnywhereInIt) {
  const std::wstring program = L"C:\\Kelvara switch test\\kelvara.exe";
  const RegLocation user{HKEY_CURRENT_USER, RunKeyPath, RunValueName};
  const auto before = regtest::ReadRaw(user.Root, user.SubKey, user.ValueName);
  for (const std::wstring& line : {L"\"" + program + L"\" \"--remove-startup-entry\" user",
                                  L"\"" + program + L"\" --remove-\"startup\"-entry \"user\""}) {
    regtest::PutText(user.Root, user.SubKey, user.ValueName, RunEntryText(program));
    EXPECT_EQ(RunInstallerSwitch(line, program), 0) << line;
    EXPECT_FALSE(regtest::ReadRaw(user.Root, user.SubKey, user.ValueName)) << line;
  }
  if (before)
    regtest::PutRaw(user.Root, user.SubKey, user.ValueName, before->Type, before->Bytes.data(),
                    static_cast<DWORD>(before->Bytes.size()));
}

TEST(UninstallSwitch, TheUserScopeRemovesTheUsersEntryForThisProgram) {
  const std::wstring program = L"C:\\Kelvara switch test\\kelvara.exe";
  const RegLocation user{HKEY_CURRENT_USER, RunKeyPath, RunValueName};
  const auto before = regtest::ReadRaw(user.Root, user.SubKey, user.ValueName);
  regtest::PutText(user.Root, user.SubKey, user.ValueName, RunEntryText(program));
  EXPECT_EQ(RunInstallerSwitch(L"\"" + program + L"\" --remove-startup-entry user", program), 0);
  EXPECT_FALSE(regtest::ReadRaw(user.Root, user.SubKey, user.ValueName));
  // The machine scope looks at the machine's entry only.
  regtest::PutText(user.Root, user.SubKey, user.ValueName, RunEntryText(program));
  EXPECT_EQ(RunInstallerSwitch(L"\"" + program + L"\" --remove-startup-entry machine", program), 0);
  EXPECT_TRUE(regtest::ReadRaw(user.Root, user.SubKey, user.ValueName));
  regtest::DeleteRaw(user.Root, user.SubKey, user.ValueName);
  if (before)
    regtest::PutRaw(user.Root, user.SubKey, user.ValueName, before->Type, before->Bytes.data(),
                    static_cast<DWORD>(before->Bytes.size()));
}

}  // namespace
