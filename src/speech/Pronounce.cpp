#include "Pronounce.h"

#include <cwchar>
#include <iterator>

#include "lookup/SearchWords.h"
#include "toolkit/Utf.h"

namespace kelvara {

namespace {

// The meaning box's text when a lookup found nothing; there is then nothing worth speaking.
const std::wstring& NotFoundWide() {
  static const std::wstring text = kelvara::toolkit::Utf8ToWide(kelvara::NotFoundText);
  return text;
}

constexpr std::wstring_view kCannotPronounce = L"امکان تلفظ واژه نيست: ";
constexpr std::wstring_view kNoService = L"سرويس گفتار ويندوز در دسترس نيست.";
constexpr std::wstring_view kSpeakRefused = L"سرويس گفتار ويندوز نتوانست واژه را بخواند";

std::wstring HresultText(HRESULT hr) {
  wchar_t buffer[16];
  std::swprintf(buffer, std::size(buffer), L"0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

}  // namespace

PronounceResult Pronounce(std::shared_ptr<SpeechVoice>& Voice, std::wstring_view MeaningText,
                          std::optional<std::wstring_view> FirstHeadword,
                          const VoiceFactory& CreateVoice) {
  VoiceCreation created = CreateVoice();
  if (FAILED(created.Result)) created.Voice.reset();
  // The previous voice goes now, after the new one exists, and stops first: a word still
  // being spoken is cut short, not spoken over.
  if (Voice) Voice->Speak(L"", kSpeakAsync | kSpeakPurgeBeforeSpeak);
  Voice = std::move(created.Voice);

  if (MeaningText == NotFoundWide() || !FirstHeadword) return {PronounceStatus::NothingToSpeak, S_OK};
  if (!Voice) {
    return {PronounceStatus::ServiceUnavailable, FAILED(created.Result) ? created.Result : E_POINTER};
  }
  // Asynchronous: a synchronous call would freeze the window, the clipboard watcher and
  // Shift+F9 until the word had been read out. Voice keeps the voice alive meanwhile.
  const HRESULT hr = Voice->Speak(*FirstHeadword, kSpeakAsync | kSpeakPurgeBeforeSpeak);
  if (FAILED(hr)) return {PronounceStatus::SpeakFailed, hr};
  return {PronounceStatus::Spoken, hr};
}

std::wstring PronounceFailureText(const PronounceResult& Result) {
  std::wstring text;
  switch (Result.Status) {
    case PronounceStatus::Spoken:
    case PronounceStatus::NothingToSpeak:
      break;
    case PronounceStatus::ServiceUnavailable:
      text = kCannotPronounce;
      text += kNoService;
      break;
    case PronounceStatus::SpeakFailed:
      text = kCannotPronounce;
      text += kSpeakRefused;
      text += L" (کد خطا " + HresultText(Result.Error) + L").";
      break;
  }
  return text;
}

}  // namespace kelvara
