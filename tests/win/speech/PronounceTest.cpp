// The pronunciation button's logic with a voice that records what it is asked to say.
#include "Pronounce.h"

#include <sapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace kelvara;

namespace {

const std::wstring kNotFound = L"کلمه مورد نظر يافت نشد.";
const std::wstring kMeaning = L"گربه";

struct Call {
  int VoiceNo;  // which voice, in the order they were made (1, 2, ...)
  std::wstring Text;
  DWORD Flags;
  bool operator==(const Call&) const = default;
};

struct Recorder {
  std::vector<std::wstring> Spoken;  // the texts spoken, without the stops
  std::vector<Call> Calls;           // every call, stops included
  int Created = 0;
  HRESULT CreateResult = S_OK;
  HRESULT SpeakResult = S_OK;
};

class RecordingVoice final : public SpeechVoice {
 public:
  RecordingVoice(Recorder& recorder, int no) : recorder_(recorder), no_(no) {}
  HRESULT Speak(std::wstring_view Text, DWORD Flags) override {
    recorder_.Calls.push_back({no_, std::wstring(Text), Flags});
    if (Text.empty()) return S_OK;
    recorder_.Spoken.emplace_back(Text);
    return recorder_.SpeakResult;
  }

 private:
  Recorder& recorder_;
  int no_;
};

class Pronunciation : public ::testing::Test {
 protected:
  PronounceResult Click(std::wstring_view meaning, std::optional<std::wstring_view> first) {
    return Pronounce(Voice, meaning, first, [this]() -> VoiceCreation {
      ++recorder.Created;
      if (FAILED(recorder.CreateResult)) return {nullptr, recorder.CreateResult};
      return {std::make_shared<RecordingVoice>(recorder, recorder.Created), S_OK};
    });
  }

  Recorder recorder;
  std::shared_ptr<SpeechVoice> Voice;
};

TEST_F(Pronunciation, SpeaksTheFirstListedHeadwordWithoutAMessage) {
  const PronounceResult result = Click(kMeaning, L"cat");
  EXPECT_EQ(result.Status, PronounceStatus::Spoken);
  EXPECT_EQ(recorder.Spoken, std::vector<std::wstring>{L"cat"});
  EXPECT_EQ(PronounceFailureText(result), L"");
}

TEST_F(Pronunciation, SpeaksAsynchronouslySoTheWindowKeepsAnswering) {
  Click(kMeaning, L"cat");
  ASSERT_EQ(recorder.Calls.size(), 1u);
  EXPECT_EQ(recorder.Calls[0].Flags, static_cast<DWORD>(SPF_ASYNC | SPF_PURGEBEFORESPEAK));
  EXPECT_NE(Voice, nullptr) << "kept alive while it speaks";
}

TEST_F(Pronunciation, ASecondClickStopsTheWordStillBeingSpokenBeforeTheNextOne) {
  Click(kMeaning, L"cat");
  Click(kMeaning, L"dog");
  const DWORD purgeAsync = SPF_ASYNC | SPF_PURGEBEFORESPEAK;
  EXPECT_EQ(recorder.Calls, (std::vector<Call>{{1, L"cat", purgeAsync},
                                               {1, L"", purgeAsync},  // the first voice stops
                                               {2, L"dog", purgeAsync}}));
  // A click with nothing to say still silences the word before.
  Click(kNotFound, L"dog");
  EXPECT_EQ(recorder.Calls.back(), (Call{2, L"", purgeAsync}));
}

TEST_F(Pronunciation, SpeaksNothingWhenTheWordWasNotFoundButStillMakesTheVoice) {
  const PronounceResult result = Click(kNotFound, L"cat");
  EXPECT_EQ(result.Status, PronounceStatus::NothingToSpeak);
  EXPECT_TRUE(recorder.Spoken.empty());
  EXPECT_EQ(recorder.Created, 1);
  EXPECT_NE(Voice, nullptr);
  EXPECT_EQ(PronounceFailureText(result), L"");
}

TEST_F(Pronunciation, OnlyTheExactNotFoundTextSilencesIt) {
  for (const std::wstring& meaning :
       {kNotFound + L" ", kNotFound.substr(0, kNotFound.size() - 1), L" " + kNotFound}) {
    recorder.Spoken.clear();
    EXPECT_EQ(Click(meaning, L"cat").Status, PronounceStatus::Spoken);
    EXPECT_EQ(recorder.Spoken, std::vector<std::wstring>{L"cat"});
  }
}

TEST_F(Pronunciation, AnEmptyListSpeaksNothing) {
  EXPECT_EQ(Click(kMeaning, std::nullopt).Status, PronounceStatus::NothingToSpeak);
  EXPECT_TRUE(recorder.Spoken.empty());
}

TEST_F(Pronunciation, EveryClickMakesANewVoiceAndLetsThePreviousOneGo) {
  Click(kMeaning, L"cat");
  std::weak_ptr<SpeechVoice> first = Voice;
  Click(kNotFound, L"cat");
  EXPECT_TRUE(first.expired());
  std::weak_ptr<SpeechVoice> second = Voice;
  Click(kMeaning, L"dog");
  EXPECT_TRUE(second.expired());
  EXPECT_NE(Voice.get(), nullptr);
  EXPECT_EQ(recorder.Created, 3);
  EXPECT_EQ(recorder.Spoken, (std::vector<std::wstring>{L"cat", L"dog"}));
}

TEST_F(Pronunciation, NoSpeechServiceGivesAPersianMessageAndDropsTheOldVoice) {
  Click(kMeaning, L"cat");
  std::weak_ptr<SpeechVoice> previous = Voice;
  recorder.CreateResult = REGDB_E_CLASSNOTREG;

  const PronounceResult result = Click(kMeaning, L"cat");
  EXPECT_EQ(result.Status, PronounceStatus::ServiceUnavailable);
  EXPECT_EQ(result.Error, REGDB_E_CLASSNOTREG);
  EXPECT_EQ(Voice, nullptr);
  EXPECT_TRUE(previous.expired());
  EXPECT_EQ(PronounceFailureText(result), L"امکان تلفظ واژه نيست: سرويس گفتار ويندوز در دسترس نيست.");
}

TEST_F(Pronunciation, NoSpeechServiceIsNotReportedWhenThereWasNothingToSay) {
  recorder.CreateResult = REGDB_E_CLASSNOTREG;
  const PronounceResult result = Click(kNotFound, L"cat");
  EXPECT_EQ(result.Status, PronounceStatus::NothingToSpeak);
  EXPECT_EQ(PronounceFailureText(result), L"");
}

TEST_F(Pronunciation, AVoiceThatCannotSpeakGivesAPersianMessageWithTheCode) {
  recorder.SpeakResult = E_NOTIMPL;
  const PronounceResult result = Click(kMeaning, L"cat");
  EXPECT_EQ(result.Status, PronounceStatus::SpeakFailed);
  EXPECT_EQ(result.Error, E_NOTIMPL);
  const std::wstring text = PronounceFailureText(result);
  EXPECT_EQ(text.rfind(L"امکان تلفظ واژه نيست: ", 0), 0u);
  EXPECT_NE(text.find(L"0x80004001"), std::wstring::npos);
}

TEST_F(Pronunciation, AFactoryThatClaimsSuccessWithoutAVoiceIsNoService) {
  const PronounceResult result = Pronounce(Voice, kMeaning, L"cat", [] {
    return VoiceCreation{nullptr, S_OK};
  });
  EXPECT_EQ(result.Status, PronounceStatus::ServiceUnavailable);
  EXPECT_FALSE(PronounceFailureText(result).empty());
}

}  // namespace
