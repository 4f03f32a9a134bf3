#include "SpeechVoice.h"

#include <objbase.h>
#include <sapi.h>

#include <string>

#include "toolkit/SystemLibrary.h"

namespace kelvara {

static_assert(kSpeakAsync == SPF_ASYNC && kSpeakPurgeBeforeSpeak == SPF_PURGEBEFORESPEAK);

namespace {

// COM on this thread for as long as the owner lives. CoUninitialize is owed after S_FALSE too
// (COM was already initialised here, and each success is counted); it is not owed after
// RPC_E_CHANGED_MODE, where the thread already lives in the other apartment kind and COM is
// usable as it is.
class ScopedCom {
 public:
  ScopedCom() noexcept {
    const HRESULT hr = toolkit::system::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    owed_ = SUCCEEDED(hr);
    result_ = hr == RPC_E_CHANGED_MODE ? S_OK : hr;
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  ~ScopedCom() {
    if (owed_) toolkit::system::CoUninitialize();
  }
  HRESULT Result() const noexcept { return result_; }

 private:
  bool owed_ = false;
  HRESULT result_ = E_FAIL;
};

struct ComReleaser {
  void operator()(IUnknown* p) const noexcept { p->Release(); }
};

class SapiVoice final : public SpeechVoice {
 public:
  HRESULT Create() {
    if (FAILED(com_.Result())) return com_.Result();
    ISpVoice* raw = nullptr;
    const HRESULT hr = toolkit::system::CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                        reinterpret_cast<void**>(&raw));
    if (FAILED(hr)) return hr;
    if (raw == nullptr) return E_POINTER;
    voice_.reset(raw);
    return S_OK;
  }

  HRESULT Speak(std::wstring_view Text, DWORD Flags) override {
    const std::wstring text(Text);
    // The voice's defaults otherwise; the stream number is not needed.
    return voice_->Speak(text.c_str(), Flags, nullptr);
  }

 private:
  // Declared first so it is destroyed last: the voice is released while COM is still up.
  ScopedCom com_;
  std::unique_ptr<ISpVoice, ComReleaser> voice_;
};

}  // namespace

VoiceCreation CreateSapiVoice() {
  auto voice = std::make_shared<SapiVoice>();
  const HRESULT hr = voice->Create();
  if (FAILED(hr)) return {nullptr, hr};
  return {std::move(voice), hr};
}

}  // namespace kelvara
