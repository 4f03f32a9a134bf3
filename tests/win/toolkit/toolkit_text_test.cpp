// Text crossing the Win32 boundary: UTF-8 and UTF-16, the clipboard, the application's paths.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/Application.h"
#include "toolkit/Clipboard.h"
#include "toolkit/Utf.h"

using namespace kelvara::toolkit;

TEST(Utf, PersianAndAstralCharactersSurviveTheRoundTrip) {
  const std::string utf8 = "ab \xD9\x88\xD8\xA7\xDA\x98\xD9\x87 \xF0\x9F\x93\x96";  // واژه 📖
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide, L"ab \u0648\u0627\u0698\u0647 \U0001F4D6");
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(Utf, IllFormedInputBecomesReplacementCharactersNotAFailure) {
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFD" L"b");
  const std::wstring loneSurrogate = {L'a', static_cast<wchar_t>(0xD800), L'b'};
  EXPECT_EQ(WideToUtf8(loneSurrogate), "a\xEF\xBF\xBD" "b");
}

TEST(Utf, AMegabyteConvertsWhole) {
  const std::string big(1 << 20, 'x');
  EXPECT_EQ(Utf8ToWide(big).size(), big.size());
}

TEST(ApplicationPaths, FolderKeepsTheSeparatorOnlyAtADriveRoot) {
  EXPECT_EQ(FolderOf(L"C:\\X.exe"), L"C:\\");
  EXPECT_EQ(FolderOf(L"C:\\Tools\\X.exe"), L"C:\\Tools");
  EXPECT_EQ(FolderOf(L"\\\\server\\share\\X.exe"), L"\\\\server\\share");
  EXPECT_EQ(FileTitleOf(L"C:\\Tools\\kelvara.exe"), L"kelvara");
  EXPECT_EQ(FileTitleOf(L"C:\\My.Tools\\kel.vara.exe"), L"kel.vara");
}

TEST(ApplicationPaths, ArgumentsAreTheTextAfterTheProgramName) {
  EXPECT_EQ(ArgumentsOf(L"kelvara.exe -t"), L"-t");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\Kelvara\\kelvara.exe\" -t"), L"-t");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\Kelvara\\kelvara.exe\""), L"");
  EXPECT_EQ(ArgumentsOf(L"kelvara.exe"), L"");
  // Everything after the separating blanks is kept exactly, trailing blanks included.
  EXPECT_EQ(ArgumentsOf(L"kelvara.exe   -t "), L"-t ");
  EXPECT_EQ(ArgumentsOf(L"kelvara.exe -T"), L"-T");
}

TEST(ApplicationPaths, TheRunningProgramKnowsItsFolderAndName) {
  const std::wstring path = Application::ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(Application::Path(), FolderOf(path));
  EXPECT_EQ(Application::EXEName(), L"win_toolkit_tests");
}

TEST(ClipboardText, UnicodeTextComesBackAsItWasPut) {
  const std::wstring persian = L"\u06A9\u0644\u0648\u0627\u0631\u0627 apple";
  ASSERT_TRUE(Clipboard::SetText(persian));
  EXPECT_EQ(Clipboard::GetText(), persian);
  ASSERT_TRUE(Clipboard::Clear());
  EXPECT_EQ(Clipboard::GetText(), L"");
}
