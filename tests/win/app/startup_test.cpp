// Start-up: the program path, the window icons, one copy at a time, and a dictionary that
// cannot be opened.
#include <gtest/gtest.h>

#include <fstream>

#include "AppTestSupport.h"
#include "DBModule.h"
#include "DictionaryLocation.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "mMain.h"
#include "toolkit/Application.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

// ---- AppExePath --------------------------------------------------------------------------

TEST(AppExePath, OneSeparatorBetweenFolderAndNameAlsoAtADriveRoot) {
  EXPECT_EQ(DBModule::BuildAppExePath(L"C:\\", L"X"), L"C:\\X.exe");
  EXPECT_EQ(DBModule::BuildAppExePath(L"C:\\Tools", L"X"), L"C:\\Tools\\X.exe");
  EXPECT_EQ(DBModule::BuildAppExePath(L"\\\\server\\share", L"Dict"), L"\\\\server\\share\\Dict.exe");
}

TEST(AppExePath, BuiltFromTheRunningProgramItIsItsOwnPath) {
  const std::wstring built = DBModule::BuildAppExePath(toolkit::Application::Path(),
                                                       toolkit::Application::EXEName());
  EXPECT_EQ(lstrcmpiW(built.c_str(), toolkit::Application::ModulePath().c_str()), 0);
}

// ---- SetWindowIcons ----------------------------------------------------------------------

struct IconWindows {
  TestForm top, middle, window;
  IconWindows() {
    EXPECT_TRUE(top.Create());
    EXPECT_TRUE(middle.Create(top.hWnd()));
    EXPECT_TRUE(window.Create(middle.hWnd()));
  }
};

HICON IconOf(HWND w, WPARAM which) {
  return reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, which, 0));
}

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bm{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
}

TEST(SetWindowIcons, GivesTheWindowAndItsTopOwnerBothSizes) {
  IconWindows w;
  SetWindowIcons(w.window.hWnd(), L"AAA", true);
  const HICON big = IconOf(w.window.hWnd(), ICON_BIG), smallIcon = IconOf(w.window.hWnd(), ICON_SMALL);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(smallIcon, nullptr);
  EXPECT_EQ(IconSize(big).cx, GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(IconSize(smallIcon).cx, GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(IconOf(w.top.hWnd(), ICON_BIG), big);
  EXPECT_EQ(IconOf(w.top.hWnd(), ICON_SMALL), smallIcon);
  // Only the window and the top of the chain: the owner in between is not touched.
  EXPECT_EQ(IconOf(w.middle.hWnd(), ICON_BIG), nullptr);
  // Shared icons: loading again hands back the same ones.
  SetWindowIcons(w.middle.hWnd(), L"AAA", false);
  EXPECT_EQ(IconOf(w.middle.hWnd(), ICON_BIG), big);
}

TEST(SetWindowIcons, WithoutToTopOwnerTheOwnersAreLeftAlone) {
  IconWindows w;
  SetWindowIcons(w.window.hWnd(), L"AAA", false);
  EXPECT_NE(IconOf(w.window.hWnd(), ICON_BIG), nullptr);
  EXPECT_EQ(IconOf(w.top.hWnd(), ICON_BIG), nullptr);
  EXPECT_EQ(IconOf(w.middle.hWnd(), ICON_SMALL), nullptr);
}

TEST(SetWindowIcons, AWindowWithoutOwnerGetsItsOwnIcons) {
  TestForm alone;
  ASSERT_TRUE(alone.Create());
  SetWindowIcons(alone.hWnd(), L"AAA", true);
  EXPECT_NE(IconOf(alone.hWnd(), ICON_BIG), nullptr);
  EXPECT_NE(IconOf(alone.hWnd(), ICON_SMALL), nullptr);
}

TEST(SetWindowIcons, AnUnknownIconNameLeavesTheWindowWithoutIconsAndReportsNothing) {
  MsgBoxRecorder boxes;
  TestForm alone;
  ASSERT_TRUE(alone.Create());
  SetWindowIcons(alone.hWnd(), L"NO_SUCH_ICON", true);
  EXPECT_EQ(IconOf(alone.hWnd(), ICON_BIG), nullptr);
  EXPECT_EQ(IconOf(alone.hWnd(), ICON_SMALL), nullptr);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST(SetWindowIcons, TheMainWindowSetsItsIconsWhileLoading) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  EXPECT_NE(IconOf(m.form->hWnd(), ICON_BIG), nullptr);
  EXPECT_NE(IconOf(m.form->hWnd(), ICON_SMALL), nullptr);
}

// ---- One copy at a time ------------------------------------------------------------------

TEST(SingleInstanceRule, ASecondCopyEndsAtOnceWithExitCodeZeroAndNoWindow) {
  SingleInstance first(kInstanceMutexName);
  ASSERT_FALSE(first.AnotherIsRunning());
  SingleInstance second(kInstanceMutexName);
  EXPECT_TRUE(second.AnotherIsRunning());
  const int formsBefore = toolkit::Form::LoadedCount();
  EXPECT_EQ(Main(), 0);
  EXPECT_EQ(toolkit::Form::LoadedCount(), formsBefore);
  EXPECT_EQ(FindWindowW(L"KelvaraForm", L"Kelvara Dictionary"), nullptr);
}

TEST(SingleInstanceRule, TheNameIsFreeAgainWhenTheCopyEnds) {
  { SingleInstance first(L"Local\\KelvaraDictionary.TestInstance"); }
  SingleInstance again(L"Local\\KelvaraDictionary.TestInstance");
  EXPECT_FALSE(again.AnotherIsRunning());
}

// ---- A dictionary that cannot be opened --------------------------------------------------

struct FailedStart {
  MsgBoxRecorder boxes;
  bool shown = true;
  int exitCode = 0;
  bool windowLeft = true;

  explicit FailedStart(std::vector<std::filesystem::path> folders) {
    frmMain form(frmMain::Startup{L"", std::move(folders)});
    TakeQuitMessage();
    shown = form.Show();
    exitCode = form.ExitCode();
    windowLeft = form.IsLoaded();
    EXPECT_FALSE(TakeQuitMessage());  // the caller ends the program with the exit code
  }
};

void ExpectMessageNames(const std::wstring& text, const std::wstring& part) {
  EXPECT_NE(text.find(part), std::wstring::npos) << "missing: " << std::string(part.begin(), part.end());
}

TEST(DictionaryFailure, MissingEverywhereNamesTheFileAndBothFolders) {
  TempFolder a, b;
  FailedStart start({a.path(), b.path()});
  EXPECT_FALSE(start.shown);
  EXPECT_FALSE(start.windowLeft);
  EXPECT_EQ(start.exitCode, kExitNoDictionary);
  ASSERT_EQ(start.boxes.boxes.size(), 1u);
  const auto& box = start.boxes.boxes[0];
  EXPECT_TRUE(box.style & MB_ICONERROR);
  EXPECT_TRUE(box.style & MB_RTLREADING);
  EXPECT_EQ(box.title, L"\u0648\u0627\u0698\u0647 \u0646\u0627\u0645\u0647 \u06A9\u0644\u0648\u0627\u0631\u0627");
  ExpectMessageNames(box.text, L"Data.db");
  ExpectMessageNames(box.text, a.path().wstring());
  ExpectMessageNames(box.text, b.path().wstring());
  ExpectMessageNames(box.text, DictErrorText(DictError::Missing));
  EXPECT_LT(box.text.find(a.path().wstring()), box.text.find(b.path().wstring()));
}

TEST(DictionaryFailure, WrongPasswordIsNamedAsSuch) {
  TempFolder a;
  WriteOptions other;
  other.password = "not the password";
  WriteTestDictionary(a.path(), TestRows(), other);
  FailedStart start({a.path()});
  EXPECT_FALSE(start.shown);
  EXPECT_EQ(start.exitCode, kExitNoDictionary);
  ASSERT_EQ(start.boxes.boxes.size(), 1u);
  ExpectMessageNames(start.boxes.boxes[0].text, (a.path() / L"Data.db").wstring());
  ExpectMessageNames(start.boxes.boxes[0].text, DictErrorText(DictError::WrongPassword));
}

TEST(DictionaryFailure, ADamagedFileIsReportedAndNotSkipped) {
  TempFolder damaged, good;
  WriteTestDictionary(damaged.path());
  WriteTestDictionary(good.path());
  {
    std::fstream f(damaged.path() / L"Data.db", std::ios::in | std::ios::out | std::ios::binary);
    // In the directory, which the start reads (damage in a block shows when it is looked up).
    const std::streamoff at = 84;
    f.seekg(at);
    char byte = 0;
    f.read(&byte, 1);
    f.seekp(at);
    byte = static_cast<char>(byte ^ 0x5A);
    f.write(&byte, 1);
  }
  // The damaged copy in the first folder is the one found; a good one further on does not
  // hide the damage.
  FailedStart start({damaged.path(), good.path()});
  EXPECT_FALSE(start.shown);
  ASSERT_EQ(start.boxes.boxes.size(), 1u);
  ExpectMessageNames(start.boxes.boxes[0].text, (damaged.path() / L"Data.db").wstring());
  ExpectMessageNames(start.boxes.boxes[0].text, DictErrorText(DictError::Damaged));
}

TEST(DictionaryFailure, EveryErrorHasItsOwnPersianReason) {
  std::vector<std::wstring> seen;
  for (DictError e : {DictError::Missing, DictError::Unreadable, DictError::Locked,
                      DictError::WrongPassword, DictError::Damaged, DictError::Truncated,
                      DictError::UnknownVersion, DictError::NotADictionary}) {
    const std::wstring text = DictErrorText(e);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), text), seen.end());
    seen.push_back(text);
  }
}

TEST(DictionarySearch, TheCurrentFolderComesFirstThenTheProgramFolder) {
  TempFolder first, second;
  WriteTestDictionary(second.path(), {{"only", "second"}});
  DictionaryOpening found = OpenDictionary({first.path(), second.path()});
  ASSERT_EQ(found.result.error, DictError::None);
  EXPECT_EQ(found.file, second.path() / L"Data.db");
  WriteTestDictionary(first.path(), {{"only", "first"}});
  found = OpenDictionary({first.path(), second.path()});
  ASSERT_EQ(found.result.error, DictError::None);
  EXPECT_EQ(found.result.dict->Meaning(0), "first");

  const auto folders = DictionaryFolders();
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.front(), std::filesystem::current_path());
}

}  // namespace
