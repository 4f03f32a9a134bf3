// The start-with-Windows entry: the command written, the check-box decision, and saving against
// the prefix's real HKLM Run key (whatever was stored there before a test is put back after it).
#include "RegistryTestSupport.h"
#include "StartUpEntry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace kelvara;

using regtest::KeyExists;
using regtest::PutText;
using regtest::ReadRaw;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kName = L"Kelvara Dictionary";
const std::wstring kExe = L"C:\\Program Files\\Kelvara\\kelvara.exe";
const std::wstring kCommand = L"\"C:\\Program Files\\Kelvara\\kelvara.exe\" -t";

TEST(StartUpCommand, IsThePathInQuotesFollowedByABlankAndTheTraySwitch) {
  EXPECT_EQ(RunEntryText(L"C:\\Dict\\Dict.exe"), L"\"C:\\Dict\\Dict.exe\" -t");
  EXPECT_EQ(RunEntryText(kExe), kCommand);
  EXPECT_EQ(RunEntryText(L"D:\\واژه نامه\\kelvara.exe"), L"\"D:\\واژه نامه\\kelvara.exe\" -t");
}

TEST(StartUpCheckBox, IsCheckedOnlyForExactlyThisProgramsCommand) {
  EXPECT_TRUE(StartUpEntryMatches(kCommand, kExe));

  const wchar_t* unchecked[] = {
      L"",
      L"\"C:\\Program Files\\Kelvara\\old\\kelvara.exe\" -t",  // the program was moved
      L"\"C:\\Program Files\\Kelvara\\dict.exe\" -t",          // or renamed
      L"\"c:\\program files\\kelvara\\kelvara.exe\" -t",       // letter case only
      L"\"C:\\Program Files\\Kelvara\\kelvara.exe\" -T",
      L"\"C:\\Program Files\\Kelvara\\kelvara.exe\"",          // no switch
      L"\"C:\\Program Files\\Kelvara\\kelvara.exe\" -t ",      // trailing blank
      L"C:\\Program Files\\Kelvara\\kelvara.exe -t",           // unquoted
  };
  for (const wchar_t* stored : unchecked) EXPECT_FALSE(StartUpEntryMatches(stored, kExe)) << stored;
}

// Leaves the real entries (machine-wide and the user's) absent for the test and restores what
// was there before.
class StartUpEntryInRunKey : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HKEY root : {HKLM, HKCU}) {
      saved_.push_back(ReadRaw(root, kRunKey, kName));
      regtest::DeleteRaw(root, kRunKey, kName);
      ASSERT_FALSE(ReadRaw(root, kRunKey, kName).has_value());
    }
  }
  void TearDown() override {
    const HKEY roots[] = {HKLM, HKCU};
    for (size_t i = 0; i < saved_.size(); ++i) {
      regtest::DeleteRaw(roots[i], kRunKey, kName);
      if (saved_[i])
        regtest::PutRaw(roots[i], kRunKey, kName, saved_[i]->Type, saved_[i]->Bytes.data(),
                        static_cast<DWORD>(saved_[i]->Bytes.size()));
    }
  }
  static std::optional<std::wstring> StoredText(HKEY root = HKLM) {
    const auto stored = ReadRaw(root, kRunKey, kName);
    if (!stored) return std::nullopt;
    return stored->Text();
  }

 private:
  std::vector<std::optional<regtest::StoredValue>> saved_;
};

TEST_F(StartUpEntryInRunKey, NoEntryOpensUncheckedAndSavingCheckedRegistersThisProgram) {
  EXPECT_FALSE(ReadStartUpChecked(kExe));

  ASSERT_TRUE(SaveStartUp(true, kExe).Succeeded());
  const auto stored = ReadRaw(HKLM, kRunKey, kName);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->Type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->Text(), kCommand + L'\0');

  EXPECT_TRUE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, AnEntryForAnotherLocationOpensUncheckedAndSavingUncheckedDeletesIt) {
  PutText(HKLM, kRunKey, kName, L"\"C:\\Old Place\\kelvara.exe\" -t");
  EXPECT_FALSE(ReadStartUpChecked(kExe));
  ASSERT_TRUE(SaveStartUp(false, kExe).Succeeded());
  EXPECT_FALSE(StoredText().has_value());
  EXPECT_FALSE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, AnEntryForAnotherLocationIsOverwrittenWhenSavedChecked) {
  PutText(HKLM, kRunKey, kName, L"\"C:\\Old Place\\kelvara.exe\" -t");
  ASSERT_TRUE(SaveStartUp(true, kExe).Succeeded());
  EXPECT_EQ(StoredText(), kCommand + L'\0');
  EXPECT_TRUE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, AnEntryDifferingOnlyInLetterCaseOpensUnchecked) {
  PutText(HKLM, kRunKey, kName, L"\"C:\\PROGRAM FILES\\KELVARA\\KELVARA.EXE\" -t");
  EXPECT_FALSE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, TheSameCommandStoredAsAnotherTypeOpensUncheckedAndSavingRewritesIt) {
  PutText(HKLM, kRunKey, kName, kCommand, REG_EXPAND_SZ);
  EXPECT_FALSE(ReadStartUpChecked(kExe));
  ASSERT_TRUE(SaveStartUp(true, kExe).Succeeded());
  EXPECT_EQ(ReadRaw(HKLM, kRunKey, kName)->Type, static_cast<DWORD>(REG_SZ));
  EXPECT_TRUE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, SavingUncheckedWithoutAnEntrySucceedsAndChangesNothing) {
  const RegResult result = SaveStartUp(false, kExe);
  EXPECT_TRUE(result.Succeeded()) << result.Error;
  EXPECT_FALSE(StoredText().has_value());
}

TEST_F(StartUpEntryInRunKey, TheUsersOwnEntryAloneReadsCheckedAndUncheckingRemovesBoth) {
  PutText(HKCU, kRunKey, kName, kCommand);
  EXPECT_TRUE(ReadStartUpChecked(kExe));
  PutText(HKLM, kRunKey, kName, kCommand);
  ASSERT_TRUE(SaveStartUp(false, kExe).Succeeded());
  EXPECT_FALSE(StoredText(HKLM).has_value());
  EXPECT_FALSE(StoredText(HKCU).has_value());
  EXPECT_FALSE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, AWritableMachineKeyTakesTheEntryAndTheUsersCopyGoes) {
  // Both would start the program twice at every logon.
  PutText(HKCU, kRunKey, kName, kCommand);
  ASSERT_TRUE(SaveStartUp(true, kExe).Succeeded());
  EXPECT_EQ(StoredText(HKLM), kCommand + L'\0');
  EXPECT_FALSE(StoredText(HKCU).has_value());
  EXPECT_TRUE(ReadStartUpChecked(kExe));
}

TEST_F(StartUpEntryInRunKey, OtherProgramsEntriesAreLeftAlone) {
  PutText(HKLM, kRunKey, L"Kelvara Test Neighbour", L"neighbour.exe");
  ASSERT_TRUE(SaveStartUp(true, kExe).Succeeded());
  ASSERT_TRUE(SaveStartUp(false, kExe).Succeeded());
  EXPECT_EQ(ReadRaw(HKLM, kRunKey, L"Kelvara Test Neighbour")->Text(), std::wstring(L"neighbour.exe") + L'\0');
  regtest::DeleteRaw(HKLM, kRunKey, L"Kelvara Test Neighbour");
}

// The same saving at a location of the test's own: a missing key, and a key the user may only
// read, as HKLM is without administrator rights.
class StartUpEntryElsewhere : public regtest::ScratchKey {
 protected:
  RegLocation Where() const { return {HKLM, Path() + L"\\Run", kName}; }
  std::wstring Stored() const { return GetRegValue(HKLM, Where().SubKey, kName); }
};

TEST_F(StartUpEntryElsewhere, SavingUncheckedCreatesAMissingRunKey) {
  ASSERT_FALSE(KeyExists(HKLM, Where().SubKey));
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where()));
  EXPECT_TRUE(SaveStartUp(false, kExe, Where()).Succeeded());
  EXPECT_TRUE(KeyExists(HKLM, Where().SubKey));
}

TEST_F(StartUpEntryElsewhere, ARefusedWriteIsReportedAsNotSavedAndTheOldEntryStays) {
  PutText(HKLM, Where().SubKey, kName, L"\"C:\\Old Place\\kelvara.exe\" -t");
  Lock(Where().SubKey);

  const RegResult result = SaveStartUp(true, kExe, Where());
  EXPECT_FALSE(result.Succeeded());
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Stored(), L"\"C:\\Old Place\\kelvara.exe\" -t");
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryElsewhere, ARefusedDeleteIsReportedAsNotSavedAndTheEntryStays) {
  PutText(HKLM, Where().SubKey, kName, kCommand);
  Lock(Where().SubKey);

  const RegResult result = SaveStartUp(false, kExe, Where());
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryElsewhere, ARefusedSaveThatChangesNothingIsNoFailure) {
  PutText(HKLM, Where().SubKey, kName, kCommand);
  PutText(HKLM, Where().SubKey, L"Other", L"x");
  Lock(Where().SubKey);
  EXPECT_TRUE(SaveStartUp(true, kExe, Where()).Succeeded());
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
  // Unchecked, with no entry of ours in a key we may only read.
  const RegLocation absent{HKLM, Where().SubKey, L"Not Ours"};
  EXPECT_TRUE(SaveStartUp(false, kExe, absent).Succeeded());
}

// The machine-wide key and the user's key at scratch keys of the test's own; Lock() makes the
// machine-wide one refuse the user, as HKLM does on Windows for a program that is not elevated.
class StartUpEntryFallback : public regtest::ScratchKey {
 protected:
  RegLocation Machine() const { return {HKLM, Path() + L"\\Machine\\Run", kName}; }
  RegLocation User() const { return {HKLM, Path() + L"\\User\\Run", kName}; }
  StartUpKeys Where() const { return {Machine(), User()}; }
  // The stored text without its terminating zero, checked to be a REG_SZ that has one.
  static std::optional<std::wstring> Stored(const RegLocation& at) {
    const auto raw = ReadRaw(at.Root, at.SubKey, at.ValueName);
    if (!raw) return std::nullopt;
    EXPECT_EQ(raw->Type, static_cast<DWORD>(REG_SZ));
    std::wstring text = raw->Text();
    EXPECT_TRUE(!text.empty() && text.back() == L'\0') << "terminating zero counted";
    if (!text.empty()) text.pop_back();
    return text;
  }
  void LockMachine() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKLM, Machine().SubKey.c_str(), &key), ERROR_SUCCESS);
    RegCloseKey(key);
    Lock(Machine().SubKey);
  }
};

TEST_F(StartUpEntryFallback, ARefusedMachineWideWriteGoesToTheUsersKeyAndCountsAsSaved) {
  LockMachine();
  const RegResult result = SaveStartUp(true, kExe, Where());
  EXPECT_TRUE(result.Succeeded()) << result.Error;
  EXPECT_EQ(Stored(User()), kCommand) << "same value name, exact text";
  EXPECT_EQ(Stored(Machine()), std::nullopt);
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryFallback, EitherKeyHoldingExactlyTheCommandReadsChecked) {
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where()));
  PutText(HKLM, User().SubKey, kName, kCommand);
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
  PutText(HKLM, Machine().SubKey, kName, L"\"C:\\Old Place\\kelvara.exe\" -t");
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where())) << "a stale machine-wide entry does not hide it";
  PutText(HKLM, User().SubKey, kName, L"\"C:\\PROGRAM FILES\\KELVARA\\KELVARA.EXE\" -t");
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where())) << "exact, letter case included";
  PutText(HKLM, Machine().SubKey, kName, kCommand);
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryFallback, AMachineWideEntryThatIsAlreadyRightIsKeptAndNotCopied) {
  PutText(HKLM, Machine().SubKey, kName, kCommand);
  LockMachine();
  EXPECT_TRUE(SaveStartUp(true, kExe, Where()).Succeeded());
  EXPECT_EQ(Stored(User()), std::nullopt) << "one entry, one start at logon";
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryFallback, UncheckingRemovesTheEntryFromBothKeys) {
  PutText(HKLM, Machine().SubKey, kName, kCommand);
  PutText(HKLM, User().SubKey, kName, kCommand);
  EXPECT_TRUE(SaveStartUp(false, kExe, Where()).Succeeded());
  EXPECT_EQ(Stored(Machine()), std::nullopt);
  EXPECT_EQ(Stored(User()), std::nullopt);
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where()));
}

TEST_F(StartUpEntryFallback, AMachineWideEntryThatCannotBeRemovedIsReportedAsNotSaved) {
  PutText(HKLM, Machine().SubKey, kName, kCommand);
  PutText(HKLM, User().SubKey, kName, kCommand);
  LockMachine();
  const RegResult result = SaveStartUp(false, kExe, Where());
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Stored(User()), std::nullopt) << "the user's own entry still goes";
  EXPECT_TRUE(ReadStartUpChecked(kExe, Where())) << "the next opening shows what is stored";
}

TEST_F(StartUpEntryFallback, BothKeysRefusingIsReportedAsNotSaved) {
  LockMachine();
  PutText(HKLM, User().SubKey, kName, L"\"C:\\Old Place\\kelvara.exe\" -t");
  Lock(User().SubKey);
  const RegResult result = SaveStartUp(true, kExe, Where());
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ReadStartUpChecked(kExe, Where()));
}

TEST(StartUpNotSaved, AccessDeniedSaysAdministratorRightsAreNeeded) {
  const std::wstring text = StartUpNotSavedText(ERROR_ACCESS_DENIED);
  EXPECT_EQ(text.rfind(L"تنظيم اجراي برنامه با شروع ويندوز ذخيره نشد", 0), 0u) << "starts so";
  EXPECT_NE(text.find(L"مدير سيستم"), std::wstring::npos);
  EXPECT_NE(text.find(L"Administrator"), std::wstring::npos);
}

TEST(StartUpNotSaved, OtherErrorsGiveTheSystemsReasonAndTheCode) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, ERROR_NOT_ENOUGH_QUOTA, 0,
                                      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  ASSERT_NE(length, 0u);
  std::wstring reason(buffer, length);
  LocalFree(buffer);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();

  const std::wstring text = StartUpNotSavedText(ERROR_NOT_ENOUGH_QUOTA);
  EXPECT_EQ(text.rfind(L"تنظيم اجراي برنامه با شروع ويندوز ذخيره نشد", 0), 0u);
  EXPECT_NE(text.find(reason), std::wstring::npos) << "the system's words are kept";
  EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos) << "one paragraph, no line break";
  EXPECT_NE(text.find(std::to_wstring(ERROR_NOT_ENOUGH_QUOTA)), std::wstring::npos);
  EXPECT_EQ(text.find(L"Administrator"), std::wstring::npos);
}

TEST(StartUpNotSaved, AnErrorTheSystemCannotDescribeStillGivesAMessage) {
  const LONG unknown = 0x2FFFFFF0;
  const std::wstring text = StartUpNotSavedText(unknown);
  EXPECT_NE(text.find(L"خطاي ناشناخته"), std::wstring::npos);
  EXPECT_NE(text.find(std::to_wstring(unknown)), std::wstring::npos);
}

}  // namespace
