// The speech voice behind the pronunciation button: one text spoken synchronously with the
// speech service's default voice, rate and volume. The main window holds the voice of its last
// pronunciation in its member Voice.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

namespace kelvara {

class SpeechVoice {
 public:
  virtual ~SpeechVoice() = default;
  // Returns once the text has been spoken, or at once with the service's error.
  virtual HRESULT Speak(std::wstring_view Text) = 0;
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
