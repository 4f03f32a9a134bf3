// The speech voice behind the pronunciation button: one text spoken with the speech service's
// default voice, rate and volume. The main window holds the voice of its last pronunciation in
// its member Voice, which keeps it alive while it speaks.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

namespace kelvara {

// SAPI's speak flags (SPF_ASYNC, SPF_PURGEBEFORESPEAK), without its header.
inline constexpr DWORD kSpeakAsync = 1;
inline constexpr DWORD kSpeakPurgeBeforeSpeak = 2;

class SpeechVoice {
 public:
  virtual ~SpeechVoice() = default;
  // Speaks Text with SAPI's Flags. With kSpeakAsync it returns as soon as the text is queued
  // (or at once with the service's error); an empty text with kSpeakPurgeBeforeSpeak stops
  // what the voice is saying.
  virtual HRESULT Speak(std::wstring_view Text, DWORD Flags) = 0;
};

// A created voice, or null with the reason the speech service could not give one.
struct VoiceCreation {
  std::shared_ptr<SpeechVoice> Voice;
  HRESULT Result = E_FAIL;
};

// Makes a new voice; the real one is CreateSapiVoice, tests hand in their own.
using VoiceFactory = std::function<VoiceCreation()>;

// A new SAPI 5 voice (SpVoice). COM is initialised on the calling thread for as long as the voice
// lives, so it must be released on that thread too.
VoiceCreation CreateSapiVoice();

}  // namespace kelvara
