// The real SAPI 5 voice. Under Wine the voice is created but Speak answers E_NOTIMPL, which the
// user sees as a Persian message; on Windows the word is spoken. Either way COM on the calling
// thread must be as balanced afterwards as it was before.
#include "Pronounce.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "toolkit/SystemLibrary.h"

using namespace kelvara;

namespace {

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The calling thread's apartment, or -1 when COM is not initialised on it.
int Apartment() {
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return -1;
  return static_cast<int>(type);
}

// The first single-threaded apartment of a process is reported as the main one.
bool SingleThreaded(int apartment) { return apartment == APTTYPE_STA || apartment == APTTYPE_MAINSTA; }

// Runs body on a fresh thread, so that each case starts with COM untouched.
template <typename Body>
void OnFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

TEST(SapiVoice, PronouncingGivesThePersianMessageUnderWineOrSpeaksOnWindows) {
  OnFreshThread([] {
    std::shared_ptr<SpeechVoice> Voice;
    const PronounceResult result = Pronounce(Voice, L"گربه", L"cat");
    if (UnderWine()) {
      EXPECT_EQ(result.Status, PronounceStatus::SpeakFailed);
      EXPECT_EQ(result.Error, E_NOTIMPL);
      EXPECT_NE(Voice, nullptr) << "the voice itself is created under Wine";
      EXPECT_EQ(PronounceFailureText(result).rfind(L"امکان تلفظ واژه نيست: ", 0), 0u);
    } else {
      EXPECT_EQ(result.Status, PronounceStatus::Spoken) << std::hex << result.Error;
    }
  });
}

TEST(SapiVoice, ComIsUpWhileTheVoiceLivesAndGoneAfterIt) {
  OnFreshThread([] {
    ASSERT_EQ(Apartment(), -1);
    std::shared_ptr<SpeechVoice> Voice;
    for (int click = 0; click < 3; ++click) {
      Pronounce(Voice, L"گربه", L"cat");
      ASSERT_NE(Voice, nullptr);
      EXPECT_TRUE(SingleThreaded(Apartment()));
    }
    Voice.reset();
    EXPECT_EQ(Apartment(), -1) << "CoUninitialize missing";
  });
}

TEST(SapiVoice, AThreadAlreadyInASingleThreadedApartmentKeepsItsOwnCount) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
      VoiceCreation created = CreateSapiVoice();  // COM answers S_FALSE here
      ASSERT_HRESULT_SUCCEEDED(created.Result);
    }
    EXPECT_TRUE(SingleThreaded(Apartment())) << "the voice uninitialised COM it did not own";
    CoUninitialize();
    EXPECT_EQ(Apartment(), -1) << "the voice left its S_FALSE initialisation behind";
  });
}

TEST(SapiVoice, AThreadInTheMultiThreadedApartmentGetsAVoiceAndKeepsItsApartment) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      VoiceCreation created = CreateSapiVoice();  // COM answers RPC_E_CHANGED_MODE here
      EXPECT_HRESULT_SUCCEEDED(created.Result);
      EXPECT_NE(created.Voice, nullptr);
    }
    EXPECT_EQ(Apartment(), APTTYPE_MTA) << "the voice uninitialised COM it did not own";
    CoUninitialize();
    EXPECT_EQ(Apartment(), -1);
  });
}

HMODULE NoDll(const wchar_t*) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

TEST(SapiVoice, WithoutTheComDllTheUserIsToldThatSpeechIsUnavailable) {
  OnFreshThread([] {
    const auto previous = kelvara::toolkit::SetSystemLibraryLoader(NoDll);
    std::shared_ptr<SpeechVoice> Voice;
    const PronounceResult result = Pronounce(Voice, L"گربه", L"cat");
    kelvara::toolkit::SetSystemLibraryLoader(previous);
    EXPECT_EQ(result.Status, PronounceStatus::ServiceUnavailable);
    EXPECT_EQ(result.Error, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(Voice, nullptr);
    EXPECT_EQ(PronounceFailureText(result), L"امکان تلفظ واژه نيست: سرويس گفتار ويندوز در دسترس نيست.");
    EXPECT_EQ(Apartment(), -1);
    // With the DLL back, the next click gets its voice.
    const PronounceResult again = Pronounce(Voice, L"گربه", L"cat");
    EXPECT_NE(again.Status, PronounceStatus::ServiceUnavailable);
    EXPECT_NE(Voice, nullptr);
  });
}

}  // namespace
