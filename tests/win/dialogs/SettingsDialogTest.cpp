// The Options dialog on real windows: what its check box shows for each stored entry, what
// saving writes, that Cancel, Esc and the close box write nothing, and a refused write.
#include "DBModule.h"
#include "DialogHandlers.h"
#include "DialogTestSupport.h"
#include "RegistryTestSupport.h"
#include "StartUpEntry.h"
#include "mMain.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kelvara;

namespace {

using dialogtest::ClickControl;
using dialogtest::ModalScript;
using dialogtest::PostKey;
using dialogtest::PressCloseBox;
using kelvara::forms::frmSettings;

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const std::wstring kName = L"Kelvara Dictionary";
const std::wstring kExe = L"C:\\Program Files\\Kelvara Dictionary\\kelvara.exe";
const std::wstring kCommand = L"\"C:\\Program Files\\Kelvara Dictionary\\kelvara.exe\" -t";
const std::wstring kStale = L"\"C:\\Old Place\\kelvara.exe\" -t";

bool HasIcons(HWND window) {
  return SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0 &&
         SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0;
}

// The dialog at a Run key of the test's own (which Lock() can make read-only), over a shown
// main window as in the program.
class OptionsDialog : public regtest::ScratchKey, protected dialogtest::MainWindowHarness {
 protected:
  void SetUp() override {
    ScratchKey::SetUp();
    if (!HasFatalFailure()) StartMainWindow();
  }
  void TearDown() override {
    StopMainWindow();
    ScratchKey::TearDown();
  }

  RegLocation Where() const { return {HKLM, Path() + L"\\Run", kName}; }
  void Store(const std::wstring& text) { regtest::PutText(HKLM, Where().SubKey, kName, text); }
  std::optional<std::wstring> Stored() const {
    const auto raw = regtest::ReadRaw(HKLM, Where().SubKey, kName);
    if (!raw) return std::nullopt;
    EXPECT_EQ(raw->Type, static_cast<DWORD>(REG_SZ));
    std::wstring text = raw->Text();
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }

  // Opens the dialog as the main window does and runs the steps inside it.
  void Open(std::vector<ModalScript::Step> steps) { Open(Where(), std::move(steps)); }
  void Open(const StartUpKeys& where, std::vector<ModalScript::Step> steps) {
    frmSettings dialog;
    kelvara::settings::WireSettingsDialog(dialog, {kExe, where, &kelvara::SetWindowIcons});
    dialog_ = &dialog;
    ModalScript::Run([&] { dialog.ShowModal(); }, std::move(steps), L"Options");
    dialog_ = nullptr;
    EXPECT_FALSE(dialog.IsLoaded()) << "the dialog should be closed";
  }

  // The dialog being shown by Open.
  frmSettings& Dialog() const { return *dialog_; }

  // The box as the dialog opens it.
  int OpenedValue() {
    int value = -1;
    Open({[&] {
      value = Dialog().chkStartUp.Value();
      ClickControl(Dialog().cmdCancel.hWnd());
    }});
    return value;
  }

 private:
  frmSettings* dialog_ = nullptr;
};

TEST_F(OptionsDialog, TheBoxIsCheckedOnlyForExactlyThisProgramsCommand) {
  EXPECT_EQ(OpenedValue(), 0) << "no entry";
  Store(kCommand);
  EXPECT_EQ(OpenedValue(), 1) << "this program's command";
  Store(kStale);
  EXPECT_EQ(OpenedValue(), 0) << "the program was moved since";
  Store(L"\"C:\\PROGRAM FILES\\KELVARA DICTIONARY\\KELVARA.EXE\" -t");
  EXPECT_EQ(OpenedValue(), 0) << "letter case only";
  Store(L"\"C:\\Program Files\\Kelvara Dictionary\\kelvara.exe\"");
  EXPECT_EQ(OpenedValue(), 0) << "no switch";
  Store(kCommand);
  EXPECT_EQ(OpenedValue(), 1) << "read afresh on every opening";
}

TEST_F(OptionsDialog, OpensWithItsIconsAndTheFocusOnTheBox) {
  Open({[&] {
    EXPECT_TRUE(HasIcons(Dialog().hWnd()));
    EXPECT_TRUE(IsWindowVisible(Dialog().hWnd()));
    EXPECT_EQ(GetFocus(), Dialog().chkStartUp.hWnd());
    EXPECT_FALSE(IsWindowEnabled(main->hWnd())) << "modal";
    ClickControl(Dialog().cmdCancel.hWnd());
  }});
  EXPECT_TRUE(IsWindowEnabled(main->hWnd()));
}

TEST_F(OptionsDialog, SavingCheckedWritesExactlyTheCommandAndReopensChecked) {
  Open({[&] {
    ClickControl(Dialog().chkStartUp.hWnd());
    ASSERT_EQ(Dialog().chkStartUp.Value(), 1);
    ClickControl(Dialog().cmdOK.hWnd());
  }});
  EXPECT_EQ(Stored(), kCommand);
  EXPECT_EQ(OpenedValue(), 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OptionsDialog, SavingUncheckedDeletesTheEntry) {
  Store(kCommand);
  Open({[&] {
    ClickControl(Dialog().chkStartUp.hWnd());
    ASSERT_EQ(Dialog().chkStartUp.Value(), 0);
    ClickControl(Dialog().cmdOK.hWnd());
  }});
  EXPECT_EQ(Stored(), std::nullopt);
  EXPECT_EQ(OpenedValue(), 0);
}

TEST_F(OptionsDialog, EverySaveWritesOrDeletesAlsoWhenTheBoxWasNotChanged) {
  // A stale entry opens unchecked; saving it so deletes it.
  Store(kStale);
  Open({[&] { ClickControl(Dialog().cmdOK.hWnd()); }});
  EXPECT_EQ(Stored(), std::nullopt);

  // Saving unchecked with no entry: nothing to see, nothing reported.
  Open({[&] { ClickControl(Dialog().cmdOK.hWnd()); }});
  EXPECT_EQ(Stored(), std::nullopt);

  // A stale entry saved checked is overwritten with this program's command.
  Store(kStale);
  Open({[&] {
    ClickControl(Dialog().chkStartUp.hWnd());
    ClickControl(Dialog().cmdOK.hWnd());
  }});
  EXPECT_EQ(Stored(), kCommand);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OptionsDialog, CancelEscAndTheCloseBoxWriteNothingWhateverTheBoxShows) {
  struct Way {
    const char* name;
    std::function<void(frmSettings&)> close;
  };
  const Way ways[] = {
      {"Cancel", [](frmSettings& d) { ClickControl(d.cmdCancel.hWnd()); }},
      {"Esc on the box", [](frmSettings& d) { PostKey(d.chkStartUp.hWnd(), VK_ESCAPE); }},
      {"Esc on Save", [](frmSettings& d) {
         d.cmdOK.SetFocus();
         PostKey(d.cmdOK.hWnd(), VK_ESCAPE);
       }},
      {"close box", [](frmSettings& d) { PressCloseBox(d.hWnd()); }},
  };
  for (const Way& way : ways) {
    for (const std::optional<std::wstring>& before :
         {std::optional<std::wstring>(), std::optional<std::wstring>(kCommand),
          std::optional<std::wstring>(kStale)}) {
      regtest::DeleteRaw(HKLM, Where().SubKey, kName);
      if (before) Store(*before);
      Open({[&] {
              ClickControl(Dialog().chkStartUp.hWnd());  // the box is changed...
              way.close(Dialog());
            }});
      EXPECT_EQ(Stored(), before) << way.name << ": ...but nothing is written";
    }
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OptionsDialog, EnterSavesFromTheBoxAndFromSave) {
  Open({[&] {
    ClickControl(Dialog().chkStartUp.hWnd());
    PostKey(Dialog().chkStartUp.hWnd(), VK_RETURN);
  }});
  EXPECT_EQ(Stored(), kCommand);

  Open({[&] {
    ClickControl(Dialog().chkStartUp.hWnd());
    Dialog().cmdOK.SetFocus();
    PostKey(Dialog().cmdOK.hWnd(), VK_RETURN);
  }});
  EXPECT_EQ(Stored(), std::nullopt);
}

TEST_F(OptionsDialog, ARefusedWriteSaysSoInPersianAndTheDialogStaysOpen) {
  Store(kStale);
  Lock(Where().SubKey);
  HWND dialogWindow = nullptr;
  Open({[&] {
          dialogWindow = Dialog().hWnd();
          ClickControl(Dialog().chkStartUp.hWnd());
          ClickControl(Dialog().cmdOK.hWnd());
        },
        [&] {
          ASSERT_EQ(boxes.size(), 1u);
          EXPECT_EQ(boxes[0].Owner, dialogWindow) << "owned by the dialog";
          EXPECT_EQ(boxes[0].Text, StartUpNotSavedText(ERROR_ACCESS_DENIED));
          EXPECT_NE(boxes[0].Style & MB_RTLREADING, 0u);
          EXPECT_NE(boxes[0].Style & MB_ICONWARNING, 0u);
          // Still open, still showing what the user asked for.
          EXPECT_TRUE(IsWindowVisible(dialogWindow));
          EXPECT_EQ(Dialog().chkStartUp.Value(), 1);
          ClickControl(Dialog().cmdCancel.hWnd());
        }});
  EXPECT_EQ(Stored(), kStale) << "the old entry stays";
  EXPECT_EQ(OpenedValue(), 0) << "the next opening shows what is stored";
}

TEST_F(OptionsDialog, ARefusedDeleteSaysSoAndTheEntryStays) {
  Store(kCommand);
  Lock(Where().SubKey);
  Open({[&] {
          ClickControl(Dialog().chkStartUp.hWnd());
          ClickControl(Dialog().cmdOK.hWnd());
        },
        [&] {
          ASSERT_EQ(boxes.size(), 1u);
          EXPECT_EQ(boxes[0].Text, StartUpNotSavedText(ERROR_ACCESS_DENIED));
          // Saving again tells again: nothing is ever shown as saved.
          ClickControl(Dialog().cmdOK.hWnd());
          EXPECT_EQ(boxes.size(), 2u);
          ClickControl(Dialog().cmdCancel.hWnd());
        }});
  EXPECT_EQ(Stored(), kCommand);
}

TEST_F(OptionsDialog, ARefusedSaveThatChangesNothingClosesWithoutAMessage) {
  Store(kCommand);
  Lock(Where().SubKey);
  Open({[&] { ClickControl(Dialog().cmdOK.hWnd()); }});
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Stored(), kCommand);
}

TEST_F(OptionsDialog, AMachineWideKeyThatRefusesSavesForTheUserAndReopensChecked) {
  Store(L"someone else's");  // the key exists, so that it can be locked
  Lock(Where().SubKey);
  const RegLocation user{HKLM, Path() + L"\\User Run", kName};
  const StartUpKeys both{Where(), user};
  Open(both, {[&] {
    EXPECT_EQ(Dialog().chkStartUp.Value(), 0);
    ClickControl(Dialog().chkStartUp.hWnd());
    ClickControl(Dialog().cmdOK.hWnd());
  }});
  EXPECT_TRUE(boxes.empty()) << "saved, so no message";
  EXPECT_EQ(Stored(), L"someone else's");
  EXPECT_EQ(GetRegValue(HKLM, user.SubKey, kName), kCommand);
  int reopened = -1;
  Open(both, {[&] {
    reopened = Dialog().chkStartUp.Value();
    ClickControl(Dialog().cmdCancel.hWnd());
  }});
  EXPECT_EQ(reopened, 1);
}

// The main window's Options button against the machine's real Run key; whatever was stored
// there before is put back afterwards.
class OptionsButton : public dialogtest::MainWindowTest {
 protected:
  void SetUp() override {
    saved_ = regtest::ReadRaw(HKLM, RunKeyPath, kName);
    regtest::DeleteRaw(HKLM, RunKeyPath, kName);
    savedExe_ = kelvara::DBModule::AppExePath();
    kelvara::DBModule::SetAppExePath(kExe);
    MainWindowTest::SetUp();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    kelvara::DBModule::SetAppExePath(savedExe_);
    regtest::DeleteRaw(HKLM, RunKeyPath, kName);
    if (saved_)
      regtest::PutRaw(HKLM, RunKeyPath, kName, saved_->Type, saved_->Bytes.data(),
                      static_cast<DWORD>(saved_->Bytes.size()));
  }

  void OpenFromButton(std::vector<ModalScript::Step> steps) {
    ModalScript::Run([&] { main->Command4.Click(); }, std::move(steps), L"Options");
    EXPECT_EQ(dialogtest::OpenForm<frmSettings>(L"Options"), nullptr);
  }

 private:
  std::optional<regtest::StoredValue> saved_;
  std::wstring savedExe_;
};

TEST_F(OptionsButton, RegistersThisProgramToStartInTheTrayAndTakesItBack) {
  auto dialog = [] { return dialogtest::OpenForm<frmSettings>(L"Options"); };
  OpenFromButton({[&] {
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->chkStartUp.Value(), 0);
    ClickControl(dialog()->chkStartUp.hWnd());
    ClickControl(dialog()->cmdOK.hWnd());
  }});
  const auto stored = regtest::ReadRaw(HKLM, RunKeyPath, kName);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->Type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->Text(), kCommand + L'\0');

  // Windows runs the stored text as a command line: the program then sees exactly "-t", the
  // switch that starts it in the tray.
  std::wstring commandLine = stored->Text();
  commandLine.pop_back();
  EXPECT_EQ(kelvara::toolkit::ArgumentsOf(commandLine), L"-t");

  OpenFromButton({[&] {
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->chkStartUp.Value(), 1);
    ClickControl(dialog()->chkStartUp.hWnd());
    ClickControl(dialog()->cmdOK.hWnd());
  }});
  EXPECT_FALSE(regtest::ReadRaw(HKLM, RunKeyPath, kName).has_value());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
