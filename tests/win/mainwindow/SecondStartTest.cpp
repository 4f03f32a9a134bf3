// A second start asks the running copy's main window to do what its Shift+F9 does, and ends.
#include "ServicesFixture.h"
#include "SingleInstance.h"
#include "dialogs/frmAbout.h"
#include "SecondStart.h"
#include "toolkit/Application.h"

namespace kelvara {
namespace {

class SecondStart : public ServicesTest {
 protected:
  void SetUp() override { Start(); }

  // Runs kelvara.exe from beside this test while this thread keeps answering its messages;
  // returns its exit code, or -1 when it did not end in time.
  long RunSecondCopy() {
    const std::wstring exe = toolkit::Application::Path() + L"\\kelvara.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
      ADD_FAILURE() << "cannot start kelvara.exe: " << GetLastError();
      return -1;
    }
    CloseHandle(pi.hThread);
    const ULONGLONG end = GetTickCount64() + 15000;
    DWORD code = static_cast<DWORD>(-1);
    while (GetTickCount64() < end) {
      if (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
        break;
      }
      PumpFor(1);
    }
    if (code == static_cast<DWORD>(-1)) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
  }
};

TEST_F(SecondStart, TheRunningCopyInTheTrayComesBack) {
  ToTray();
  EXPECT_TRUE(SignalRunningCopy());
  EXPECT_TRUE(PumpUntil([&] { return Shown(); }));
  EXPECT_EQ(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 0);
}

TEST_F(SecondStart, WithTheRunningCopysWatchingOffNothingHappens) {
  main->Word_menu->onClick();
  ToTray();
  EXPECT_TRUE(SignalRunningCopy()) << "the running copy answers all the same";
  PumpFor(300);
  EXPECT_FALSE(Shown());
  EXPECT_NE(main->f_cSystray, nullptr);
}

TEST_F(SecondStart, TheRealProgramStartedAgainHandsOverAndEndsWithZero) {
  const SingleInstance first(kInstanceMutexName);  // this test is the running copy
  ASSERT_FALSE(first.AnotherIsRunning());
  ToTray();
  EXPECT_EQ(RunSecondCopy(), 0);
  EXPECT_TRUE(PumpUntil([&] { return Shown(); }));

  main->Word_menu->onClick();
  ToTray();
  EXPECT_EQ(RunSecondCopy(), 0);
  PumpFor(300);
  EXPECT_FALSE(Shown());
}

TEST(SecondStartAlone, OtherFormsOfTheProgramDoNotAnswer) {
  // A window of the program's class that is not a main window is passed over; with no main
  // window anywhere the second start gives up.
  forms::frmAbout about;
  ASSERT_TRUE(about.Load());
  EXPECT_FALSE(SignalRunningCopy());
}

}  // namespace
}  // namespace kelvara
