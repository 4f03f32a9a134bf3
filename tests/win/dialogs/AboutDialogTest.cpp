// The About dialog on real windows: where OK leaves the focus, the maker's page on every press
// of "تماس با ما", and the keys (Esc does nothing, Enter presses OK, which has the focus first).
#include "DialogHandlers.h"
#include "DialogTestSupport.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using dialogtest::ClickControl;
using dialogtest::ModalScript;
using dialogtest::PostKey;
using dialogtest::PressCloseBox;
using kelvara::forms::frmAbout;
using kelvara::toolkit::WindowState;

frmAbout* About() { return dialogtest::OpenForm<frmAbout>(L"About Dictionary"); }

class AboutDialog : public dialogtest::MainWindowTest {
 protected:
  // Opens About with the main window's button, with the focus parked on Options first, so that
  // a focus that merely comes back to where it was is told apart from the word box.
  void OpenFromButton(std::vector<ModalScript::Step> steps) {
    main->Command4.SetFocus();
    ASSERT_EQ(GetFocus(), main->Command4.hWnd());
    ModalScript::Run([&] { main->Command2.Click(); }, std::move(steps), L"About Dictionary");
    EXPECT_EQ(About(), nullptr) << "the dialog should be closed";
  }
};

TEST_F(AboutDialog, OkClosesItAndPutsTheCaretIntoTheWordBox) {
  main->txtWord.SetText(L"cat");
  OpenFromButton({[&] {
    ASSERT_NE(About(), nullptr);
    EXPECT_TRUE(IsWindowVisible(About()->hWnd()));
    EXPECT_FALSE(IsWindowEnabled(main->hWnd())) << "modal";
    EXPECT_NE(SendMessageW(About()->hWnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(About()->hWnd(), WM_GETICON, ICON_SMALL, 0), 0);
    ClickControl(About()->Command1.hWnd());
  }});
  EXPECT_TRUE(IsWindowEnabled(main->hWnd()));
  EXPECT_EQ(GetFocus(), main->txtWord.hWnd());
  EXPECT_EQ(main->txtWord.Text(), L"cat") << "the word stays";
}

TEST_F(AboutDialog, ItsTextsStayClearOfThePictureAndInsideTheDialog) {
  frmAbout about;
  ASSERT_TRUE(about.Load());
  const RECT picture{about.Image1.Left(), about.Image1.Top(),
                     about.Image1.Left() + about.Image1.Width(),
                     about.Image1.Top() + about.Image1.Height()};
  const std::pair<const char*, const kelvara::toolkit::Label*> labels[] = {
      {"Label4", &about.Label4}, {"Label2", &about.Label2}, {"Label1", &about.Label1}};
  for (const auto& [name, label] : labels) {
    // A label paints its whole box: one that reaches into the picture cuts a corner off it.
    const RECT box{label->Left(), label->Top(), label->Left() + label->Width(),
                   label->Top() + label->Height()};
    RECT overlap{};
    EXPECT_FALSE(IntersectRect(&overlap, &box, &picture)) << name << " lies over the picture";
    EXPECT_GE(box.left, 0) << name;
    EXPECT_LE(box.right, about.ClientWidth()) << name;
    EXPECT_LE(box.bottom, about.Command1.Top()) << name;
  }
}

TEST_F(AboutDialog, TheCloseBoxClosesItWithoutMovingTheFocusToTheWordBox) {
  OpenFromButton({[&] {
    ASSERT_NE(About(), nullptr);
    PressCloseBox(About()->hWnd());
  }});
  EXPECT_NE(GetFocus(), main->txtWord.hWnd());
}

TEST_F(AboutDialog, FromTheTrayMenuOkLeavesTheHiddenMainWindowInTheTray) {
  // The tray state: minimised and hidden.
  main->SetWindowState(WindowState::Minimized);
  main->Hide();
  ASSERT_FALSE(IsWindowVisible(main->hWnd()));
  HWND focusBefore = GetFocus();
  ASSERT_NE(main->About_menu, nullptr);
  ModalScript::Run([&] { main->About_menu->onClick(); },
                   {[&] {
                     ASSERT_NE(About(), nullptr);
                     // Shown although its owner sits hidden in the tray.
                     EXPECT_TRUE(IsWindowVisible(About()->hWnd()));
                     ClickControl(About()->Command1.hWnd());
                   }},
                   L"About Dictionary");
  EXPECT_EQ(About(), nullptr);
  EXPECT_FALSE(IsWindowVisible(main->hWnd()));
  EXPECT_EQ(main->GetWindowState(), WindowState::Minimized);
  EXPECT_NE(GetFocus(), main->txtWord.hWnd());
  EXPECT_EQ(GetFocus(), focusBefore);
  EXPECT_TRUE(boxes.empty()) << "no error";
}

TEST_F(AboutDialog, ContactUsOpensTheMakersPageOnEveryPressAndStaysOpen) {
  HWND aboutWindow = nullptr;
  shellResult = SE_ERR_NOASSOC;  // the first press finds no browser...
  OpenFromButton({[&] {
                    ASSERT_NE(About(), nullptr);
                    aboutWindow = About()->hWnd();
                    ClickControl(About()->Command2.hWnd());
                  },
                  [&] {
                    ASSERT_NE(About(), nullptr) << "still open after a failed press";
                    shellResult = 42;  // ...the second one does
                    ClickControl(About()->Command2.hWnd());
                  },
                  [&] {
                    ASSERT_NE(About(), nullptr) << "still open after a press";
                    ClickControl(About()->Command1.hWnd());
                  }});
  ASSERT_EQ(shellCalls.size(), 2u);
  for (const dialogtest::ShellCall& call : shellCalls) {
    EXPECT_EQ(call.Owner, aboutWindow);
    EXPECT_EQ(call.Operation, L"") << "the shell's default action";
    EXPECT_EQ(call.File, kelvara::settings::kMakerHomePage);
    EXPECT_EQ(call.Parameters, L"");
    EXPECT_EQ(call.Directory, L"");
    EXPECT_EQ(call.Show, SW_SHOWNORMAL);
  }
  EXPECT_EQ(std::wstring(kelvara::settings::kMakerHomePage).rfind(L"https://", 0), 0u);
  EXPECT_TRUE(boxes.empty()) << "a failure to open the page is not reported";
}

TEST_F(AboutDialog, EscDoesNothingAndEnterPressesOkWhichHasTheFocusFirst) {
  OpenFromButton({[&] {
                    ASSERT_NE(About(), nullptr);
                    EXPECT_EQ(GetFocus(), About()->Command1.hWnd()) << "OK comes first";
                    PostKey(GetFocus(), VK_ESCAPE);
                  },
                  [&] {
                    ASSERT_NE(About(), nullptr) << "Esc must not close it";
                    About()->Command2.SetFocus();
                    PostKey(GetFocus(), VK_ESCAPE);
                  },
                  [&] {
                    ASSERT_NE(About(), nullptr) << "nor with the focus on Contact us";
                    EXPECT_TRUE(shellCalls.empty()) << "Esc pressed no button";
                    About()->Command1.SetFocus();
                    PostKey(GetFocus(), VK_RETURN);
                  }});
  EXPECT_EQ(GetFocus(), main->txtWord.hWnd()) << "Enter went through OK";
}

TEST_F(AboutDialog, EnterRightAfterOpeningClosesIt) {
  OpenFromButton({[&] { PostKey(GetFocus(), VK_RETURN); }});
  EXPECT_TRUE(shellCalls.empty());
  EXPECT_EQ(GetFocus(), main->txtWord.hWnd());
}

}  // namespace
