// The clipboard reader: it fetches a text once per change, never holds its caller longer than
// its patience, and tries again when the clipboard could not be had.
#include "ClipboardReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "toolkit/Clipboard.h"

namespace kelvara {
namespace {

using namespace std::chrono_literals;
using toolkit::Clipboard;

// Polls as the clipboard timer does until a read under way hands its text over.
std::optional<std::wstring> PollUntilHandedOver(ClipboardReader& reader) {
  for (int i = 0; i < 10000; ++i) {
    if (auto text = reader.Poll()) return text;
    Sleep(1);
  }
  return std::nullopt;
}

TEST(ClipboardReader, ReadsEachChangeOnceAndSkipsWhatItWasToldToSkip) {
  ClipboardReader reader;
  reader.patience = 10s;
  ASSERT_TRUE(Clipboard::SetText(L"apple"));
  EXPECT_EQ(reader.Poll(), L"apple");
  EXPECT_EQ(reader.Poll(), std::nullopt) << "unchanged: nothing new to hand over";
  ASSERT_TRUE(Clipboard::SetText(L"apple"));
  EXPECT_EQ(reader.Poll(), L"apple") << "copied again is a change, though the text is the same";

  ASSERT_TRUE(Clipboard::Clear());
  EXPECT_EQ(reader.Poll(), L"") << "a clipboard without text reads as empty";

  ASSERT_TRUE(Clipboard::SetText(L"before"));
  reader.SkipCurrent();
  EXPECT_EQ(reader.Poll(), std::nullopt);
  ASSERT_TRUE(Clipboard::SetText(L"after"));
  EXPECT_EQ(reader.Poll(), L"after");
  EXPECT_FALSE(reader.Busy());
}

TEST(ClipboardReader, ASlowHandOverDoesNotHoldTheCaller) {
  // As Wine fetching a few megabytes from another X program.
  std::atomic<bool> handOver{false};
  std::atomic<int> reads{0};
  ClipboardReader reader([&]() -> std::optional<std::wstring> {
    ++reads;
    while (!handOver) Sleep(1);
    return L"a text that takes its time";
  });
  reader.patience = 30ms;
  ASSERT_TRUE(Clipboard::SetText(L"anything: the change is what counts"));
  EXPECT_EQ(reader.Poll(), std::nullopt) << "returned without the text";
  EXPECT_TRUE(reader.Busy());
  ASSERT_TRUE(Clipboard::SetText(L"another change meanwhile"));
  EXPECT_EQ(reader.Poll(), std::nullopt) << "still on its way";
  handOver = true;
  reader.patience = 10s;
  EXPECT_EQ(PollUntilHandedOver(reader), L"a text that takes its time")
      << "handed over by a later poll";
  EXPECT_EQ(reads, 1) << "no second read was started while the first ran";
  EXPECT_EQ(reader.Poll(), L"a text that takes its time") << "the change made meanwhile is read";
  EXPECT_EQ(reads, 2);
}

TEST(ClipboardReader, AReadStuckOnAHungOwnerIsWaitedForOnlyOnce) {
  // A program that offered its text by delayed rendering and hangs when asked for it.
  std::atomic<bool> recovered{false};
  ClipboardReader reader([&]() -> std::optional<std::wstring> {
    while (!recovered) Sleep(1);
    return L"rendered at last";
  });
  reader.patience = 20ms;
  ASSERT_TRUE(Clipboard::SetText(L"offered"));
  EXPECT_EQ(reader.Poll(), std::nullopt);
  // The owner recovers a little later; a poll that waited for the read under way would get
  // its text, having kept the window waiting all that time.
  std::thread owner([&] {
    Sleep(300);
    recovered = true;
  });
  reader.patience = 30s;
  EXPECT_EQ(reader.Poll(), std::nullopt) << "waited again for the read under way";
  owner.join();
  EXPECT_EQ(PollUntilHandedOver(reader), L"rendered at last");
}

TEST(ClipboardReader, AClipboardThatCannotBeHadIsReadAgain) {
  std::atomic<int> reads{0};
  ClipboardReader reader([&]() -> std::optional<std::wstring> {
    if (++reads == 1) return std::nullopt;  // another program holds it
    return L"held";
  });
  reader.patience = 10s;
  ASSERT_TRUE(Clipboard::SetText(L"held"));
  EXPECT_EQ(reader.Poll(), std::nullopt);
  EXPECT_FALSE(reader.Busy());
  EXPECT_EQ(reader.Poll(), L"held") << "the same change, tried again";
  EXPECT_EQ(reader.Poll(), std::nullopt);
}

TEST(ClipboardReader, EndsWhileAReadIsUnderWay) {
  std::atomic<bool> handOver{false};
  {
    ClipboardReader reader([&]() -> std::optional<std::wstring> {
      while (!handOver) Sleep(1);
      return L"late";
    });
    reader.patience = 0ms;
    ASSERT_TRUE(Clipboard::SetText(L"x"));
    EXPECT_EQ(reader.Poll(), std::nullopt);
    handOver = true;  // the end waits for the read to come back, then the thread ends
  }
}

}  // namespace
}  // namespace kelvara
