// Reads the clipboard's text on a thread of its own. The platform may take seconds to hand a
// large text over (Wine fetches it from the X server while the reader waits), and the window
// must not wait with it. The thread touches nothing but the clipboard.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace kelvara {

// The clipboard's text ("" when it holds none), or nullopt when the clipboard cannot be had
// (another program holds it for a moment).
std::optional<std::wstring> ReadClipboardText();

class ClipboardReader {
 public:
  using ReadFunction = std::function<std::optional<std::wstring>()>;
  // `read` runs on the reader's thread; tests give a slow or failing one.
  explicit ClipboardReader(ReadFunction read = ReadClipboardText) : read_(std::move(read)) {}
  ClipboardReader(const ClipboardReader&) = delete;
  ClipboardReader& operator=(const ClipboardReader&) = delete;
  // Waits for a read that is under way: the thread must not outlive its reader.
  ~ClipboardReader();

  // The clipboard's text as a read found it ("" when the clipboard holds no text), once per
  // read. A read starts when the clipboard has changed since the last read and none is under
  // way; the caller waits at most `patience` for a read it started, and not at all for one
  // still under way from an earlier call. nullopt: nothing new, or the text is still on its way
  // (a later call hands it over).
  std::optional<std::wstring> Poll();

  // Long enough for a word or a page, short enough that nobody notices the wait.
  std::chrono::milliseconds patience{50};

  // Takes the clipboard as it is now as read, without reading it.
  void SkipCurrent();

  // A read has started and its text has not been handed over yet.
  bool Busy() const;

 private:
  void Run();

  const ReadFunction read_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  bool requested_ = false;  // the thread is to read, or reading
  bool stop_ = false;
  std::optional<std::wstring> result_;  // read and not yet handed over
  DWORD requestedSequence_ = 0;
  DWORD readSequence_ = 0;  // the clipboard's state that the last read saw
  bool haveRead_ = false;
};

}  // namespace kelvara
