// The registry helpers against the Wine prefix's real registry, in scratch keys below
// HKLM\SOFTWARE\Kelvara Tests.
#include "MMZModule.h"
#include "RegistryTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace kelvara;

using regtest::KeyExists;
using regtest::PutRaw;
using regtest::PutText;
using regtest::ReadRaw;

namespace {

class RegistryWrite : public regtest::ScratchKey {};
class RegistryRead : public regtest::ScratchKey {};
class RegistryRefused : public regtest::ScratchKey {};

const HKEY HKLM = HKEY_LOCAL_MACHINE;

// Bytes of a UTF-16 text, with or without its terminating zero.
DWORD Bytes(const std::wstring& text, bool withZero) {
  return static_cast<DWORD>((text.size() + (withZero ? 1 : 0)) * sizeof(wchar_t));
}

TEST_F(RegistryWrite, StoresTextAsRegSzWithItsTerminatingZeroCounted) {
  const std::wstring persian = L"واژه نامه کلوارا";
  for (const std::wstring& text : {std::wstring(L"\"C:\\Dict\\Dict.exe\" -t"), persian, std::wstring()}) {
    ASSERT_TRUE(SetRegString(HKLM, Path(), L"v", text).Succeeded());
    const auto stored = ReadRaw(HKLM, Path(), L"v");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->Type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(stored->Bytes.size(), Bytes(text, true));
    EXPECT_EQ(stored->Text(), text + L'\0');
    EXPECT_EQ(GetRegValue(HKLM, Path(), L"v"), text);
  }
}

TEST_F(RegistryWrite, CreatesAMissingKeyAndOverwritesAnExistingValue) {
  const std::wstring deep = Path() + L"\\Not\\Yet\\There";
  ASSERT_FALSE(KeyExists(HKLM, deep));
  ASSERT_TRUE(SetRegString(HKLM, deep, L"Kelvara Dictionary", L"first").Succeeded());
  ASSERT_TRUE(SetRegString(HKLM, deep, L"Kelvara Dictionary", L"second, longer").Succeeded());
  EXPECT_EQ(GetRegValue(HKLM, deep, L"Kelvara Dictionary"), L"second, longer");
  // Overwriting with a shorter text leaves nothing of the longer one behind.
  ASSERT_TRUE(SetRegString(HKLM, deep, L"Kelvara Dictionary", L"3").Succeeded());
  EXPECT_EQ(GetRegValue(HKLM, deep, L"Kelvara Dictionary"), L"3");
}

TEST_F(RegistryWrite, DeleteRemovesTheValueAndCountsAMissingOneAsDeleted) {
  PutText(HKLM, Path(), L"v", L"text");
  PutText(HKLM, Path(), L"other", L"stays");
  EXPECT_TRUE(DeleteRegValue(HKLM, Path(), L"v").Succeeded());
  EXPECT_FALSE(ReadRaw(HKLM, Path(), L"v").has_value());
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"other"), L"stays");

  const RegResult again = DeleteRegValue(HKLM, Path(), L"v");
  EXPECT_TRUE(again.Succeeded()) << again.Error;
}

TEST_F(RegistryWrite, DeleteInAMissingKeyCreatesTheKeyAndSucceeds) {
  const std::wstring missing = Path() + L"\\Run";
  ASSERT_FALSE(KeyExists(HKLM, missing));
  EXPECT_TRUE(DeleteRegValue(HKLM, missing, L"Kelvara Dictionary").Succeeded());
  EXPECT_TRUE(KeyExists(HKLM, missing));
}

TEST_F(RegistryWrite, AnEmptySubKeyWorksOnTheCallersKeyAndLeavesItOpen) {
  HKEY own = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKLM, Path().c_str(), 0, KEY_ALL_ACCESS, &own), ERROR_SUCCESS);
  EXPECT_TRUE(SetRegString(own, L"", L"v", L"on the caller's key").Succeeded());
  EXPECT_EQ(GetRegValue(own, L"", L"v"), L"on the caller's key");
  EXPECT_TRUE(DeleteRegValue(own, L"", L"v").Succeeded());
  // Still the caller's to use and to close.
  const wchar_t text[] = L"after";
  EXPECT_EQ(RegSetValueExW(own, L"w", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(own), ERROR_SUCCESS);
}

TEST_F(RegistryRead, MissingKeyOrValueReadsEmptyAndNothingIsCreated) {
  const std::wstring missing = Path() + L"\\Absent";
  EXPECT_EQ(GetRegValue(HKLM, missing, L"v"), L"");
  EXPECT_FALSE(KeyExists(HKLM, missing));
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"absent"), L"");
  EXPECT_EQ(ReadRegValue(nullptr, L"v"), L"");
}

TEST_F(RegistryRead, ValueStoredWithoutTerminatingZeroIsReadWhole) {
  // The character after the counted ones is not zero, so no layer can quietly add a terminator.
  const std::wstring buffer = L"C:\\Dict\\Dict.exeX";
  const std::wstring text = buffer.substr(0, buffer.size() - 1);
  PutRaw(HKLM, Path(), L"v", REG_SZ, buffer.c_str(), Bytes(text, false));
  const auto stored = ReadRaw(HKLM, Path(), L"v");
  ASSERT_TRUE(stored.has_value());
  ASSERT_EQ(stored->Bytes.size(), Bytes(text, false)) << "the value was stored with a terminator";

  EXPECT_EQ(GetRegValue(HKLM, Path(), L"v"), text);
}

TEST_F(RegistryRead, TextEndsAtTheFirstZeroCharacter) {
  const wchar_t data[] = L"first\0second";
  PutRaw(HKLM, Path(), L"v", REG_SZ, data, sizeof data);
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"v"), L"first");
}

TEST_F(RegistryRead, EmptyAndOddSizedTextValuesReadSafely) {
  PutRaw(HKLM, Path(), L"no bytes", REG_SZ, L"", 0);
  PutRaw(HKLM, Path(), L"only zero", REG_SZ, L"", sizeof(wchar_t));
  // Three bytes: one whole character and half of another.
  const char odd[] = "abcd";
  PutRaw(HKLM, Path(), L"odd", REG_SZ, odd, 3);
  ASSERT_EQ(ReadRaw(HKLM, Path(), L"odd")->Bytes.size(), 3u);

  EXPECT_EQ(GetRegValue(HKLM, Path(), L"no bytes"), L"");
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"only zero"), L"");
  const std::wstring oddText = GetRegValue(HKLM, Path(), L"odd");
  ASSERT_EQ(oddText.size(), 2u);
  EXPECT_EQ(oddText[0], static_cast<wchar_t>('a' | ('b' << 8)));
  EXPECT_EQ(oddText[1], static_cast<wchar_t>('c'));
}

TEST_F(RegistryRead, ValuesThatAreNotPlainTextReadEmpty) {
  const std::wstring text = L"\"C:\\Dict\\Dict.exe\" -t";
  const DWORD number = 0x12345678;
  const unsigned long long big = 0x1122334455667788ull;
  const std::wstring multi = text + L'\0' + L"second" + L'\0';
  PutText(HKLM, Path(), L"expand", text, REG_EXPAND_SZ);
  PutRaw(HKLM, Path(), L"dword", REG_DWORD, &number, sizeof number);
  PutRaw(HKLM, Path(), L"qword", REG_QWORD, &big, sizeof big);
  PutRaw(HKLM, Path(), L"binary", REG_BINARY, text.c_str(), Bytes(text, true));
  PutRaw(HKLM, Path(), L"multi", REG_MULTI_SZ, multi.c_str(), Bytes(multi, true));
  PutRaw(HKLM, Path(), L"none", REG_NONE, text.c_str(), Bytes(text, true));

  for (const wchar_t* name : {L"expand", L"dword", L"qword", L"binary", L"multi", L"none"})
    EXPECT_EQ(GetRegValue(HKLM, Path(), name), L"") << name;
}

TEST_F(RegistryRead, AnOverLongValueIsReadCompletely) {
  std::wstring text;
  for (int i = 0; text.size() < 200000; ++i) text += L"C:\\پوشه " + std::to_wstring(i) + L"\\";
  ASSERT_TRUE(SetRegString(HKLM, Path(), L"long", text).Succeeded());
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"long"), text);
}

TEST_F(RegistryRefused, ARefusedWriteIsReportedAndTheValueStaysAsItWas) {
  PutText(HKLM, Path(), L"v", L"before");
  Lock();
  const RegResult result = SetRegString(HKLM, Path(), L"v", L"after");
  EXPECT_FALSE(result.Succeeded());
  EXPECT_FALSE(static_cast<bool>(result));
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"v"), L"before");
}

TEST_F(RegistryRefused, ARefusedDeleteIsReportedAndTheValueStays) {
  PutText(HKLM, Path(), L"v", L"before");
  Lock();
  const RegResult result = DeleteRegValue(HKLM, Path(), L"v");
  EXPECT_EQ(result.Error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetRegValue(HKLM, Path(), L"v"), L"before");
}

TEST_F(RegistryRefused, ARefusedDeleteOfAValueThatIsNotThereIsASuccess) {
  Lock();
  const RegResult result = DeleteRegValue(HKLM, Path(), L"absent");
  EXPECT_TRUE(result.Succeeded()) << result.Error;
}

}  // namespace
