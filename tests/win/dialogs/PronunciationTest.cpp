// The pronunciation button of the real main window: what is spoken, one voice per click, and
// the message when the speech service cannot speak.
#include "DialogHandlers.h"
#include "DialogTestSupport.h"
#include "Pronounce.h"
#include "lookup/SearchWords.h"
#include "toolkit/Utf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace kelvara;

namespace {

struct Recorder {
  std::vector<std::wstring> Spoken;
  std::vector<std::weak_ptr<SpeechVoice>> Made;
  HRESULT CreateResult = S_OK;
};

class RecordingVoice final : public SpeechVoice {
 public:
  explicit RecordingVoice(Recorder& recorder) : recorder_(recorder) {}
  HRESULT Speak(std::wstring_view Text, DWORD) override {
    if (Text.empty()) return S_OK;  // the previous voice told to stop
    recorder_.Spoken.emplace_back(Text);
    return S_OK;
  }

 private:
  Recorder& recorder_;
};

class PronounceButton : public dialogtest::MainWindowTest {
 protected:
  void UseRecordingVoice() {
    main->CreateVoice = [this]() -> VoiceCreation {
      if (FAILED(recorder.CreateResult)) return {nullptr, recorder.CreateResult};
      auto voice = std::make_shared<RecordingVoice>(recorder);
      recorder.Made.push_back(voice);
      return {voice, S_OK};
    };
  }
  void Type(const wchar_t* word) { main->txtWord.SetText(word); }

  Recorder recorder;
};

TEST_F(PronounceButton, SpeaksTheFirstListedHeadwordNotTheTypedText) {
  UseRecordingVoice();
  Type(L"ca");
  ASSERT_TRUE(main->Command3.Enabled());
  ASSERT_GE(main->lstWords.ListCount(), 2);
  main->Command3.Click();
  EXPECT_EQ(recorder.Spoken, std::vector<std::wstring>{L"cat"});

  // Through a real click on the button too.
  Type(L"do");
  dialogtest::ClickControl(main->Command3.hWnd());
  EXPECT_EQ(recorder.Spoken, (std::vector<std::wstring>{L"cat", L"dog"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PronounceButton, EveryClickMakesANewVoiceAndLetsThePreviousOneGo) {
  UseRecordingVoice();
  Type(L"cat");
  main->Command3.Click();
  main->Command3.Click();
  ASSERT_EQ(recorder.Made.size(), 2u);
  EXPECT_TRUE(recorder.Made[0].expired()) << "the first voice was let go";
  EXPECT_EQ(main->Voice, recorder.Made[1].lock()) << "the window keeps the last one";
  EXPECT_EQ(recorder.Spoken.size(), 2u);
}

TEST_F(PronounceButton, SpeaksNothingForAWordThatWasNotFound) {
  UseRecordingVoice();
  Type(L"qqqqq");  // nothing begins with it, nothing is near it: no suggestion either
  ASSERT_EQ(main->txtExp.Text(), kelvara::toolkit::Utf8ToWide(kelvara::NotFoundText));
  EXPECT_FALSE(main->Command3.Enabled()) << "normally it cannot even be pressed";
  // Pressed all the same: a new voice, but no word and no message.
  main->Command3.SetEnabled(true);
  main->Command3.Click();
  EXPECT_TRUE(recorder.Spoken.empty());
  EXPECT_EQ(recorder.Made.size(), 1u);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PronounceButton, AMissingSpeechServiceIsToldInPersianAndTheProgramGoesOn) {
  UseRecordingVoice();
  recorder.CreateResult = REGDB_E_CLASSNOTREG;
  Type(L"cat");
  main->Command3.Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Owner, main->hWnd());
  EXPECT_EQ(boxes[0].Text, PronounceFailureText({PronounceStatus::ServiceUnavailable,
                                                 REGDB_E_CLASSNOTREG}));
  EXPECT_NE(boxes[0].Style & MB_RTLREADING, 0u);
  EXPECT_EQ(main->Voice, nullptr);

  // The window still works, and the service coming back is used at once.
  recorder.CreateResult = S_OK;
  Type(L"dog");
  main->Command3.Click();
  EXPECT_EQ(recorder.Spoken, std::vector<std::wstring>{L"dog"});
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(PronounceButton, TheRealSpeechServiceThatCannotSpeakGivesTheMessage) {
  if (!dialogtest::RunningUnderWine()) GTEST_SKIP() << "a real voice would speak here";
  // Wine's SAPI makes a voice but answers Speak with E_NOTIMPL.
  Type(L"cat");
  main->Command3.Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Owner, main->hWnd());
  EXPECT_EQ(boxes[0].Text, PronounceFailureText({PronounceStatus::SpeakFailed, E_NOTIMPL}));
  EXPECT_NE(main->Voice, nullptr);
  main->Command3.Click();
  EXPECT_EQ(boxes.size(), 2u) << "told again on the next click";
  EXPECT_TRUE(main->IsLoaded());
}

}  // namespace
