// The pronunciation button's work (frmMain's Command3_Click): a new voice on every click, kept
// in the window's Voice (the one before stops speaking), then the first listed headword spoken
// asynchronously, unless the meaning box shows that the word was not found.
#pragma once

#include "SpeechVoice.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvara {

enum class PronounceStatus {
  Spoken,
  NothingToSpeak,      // the word was not found, or the list is empty
  ServiceUnavailable,  // no voice could be created
  SpeakFailed,         // the voice refused to speak
};

struct PronounceResult {
  PronounceStatus Status = PronounceStatus::NothingToSpeak;
  HRESULT Error = S_OK;  // the speech service's error for the two failures
};

// Voice: the window's member, replaced by the new voice (null when none could be made).
// MeaningText: the meaning box's text. FirstHeadword: entry 0 of the result list, absent when the
// list is empty; it is what is spoken, not the word box's text.
PronounceResult Pronounce(std::shared_ptr<SpeechVoice>& Voice, std::wstring_view MeaningText,
                          std::optional<std::wstring_view> FirstHeadword,
                          const VoiceFactory& CreateVoice = CreateSapiVoice);

// The Persian message for the user when the word could not be spoken; empty otherwise.
std::wstring PronounceFailureText(const PronounceResult& Result);

}  // namespace kelvara
