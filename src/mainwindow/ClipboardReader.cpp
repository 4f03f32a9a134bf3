#include "ClipboardReader.h"

#include <cwchar>
#include <utility>

namespace kelvara {

std::optional<std::wstring> ReadClipboardText() {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::wstring();
  bool open = false;
  for (int attempt = 0; attempt < 5 && !open; ++attempt) {
    open = OpenClipboard(nullptr) != FALSE;
    if (!open) Sleep(2);
  }
  if (!open) return std::nullopt;
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      // The block may lack its terminating zero: never read past its size.
      text.assign(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

ClipboardReader::~ClipboardReader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::optional<std::wstring> ClipboardReader::Poll() {
  std::unique_lock lock(mutex_);
  if (!requested_ && !result_) {
    // Unchanged since the last read: the same text, not worth fetching again.
    const DWORD sequence = GetClipboardSequenceNumber();
    if (haveRead_ && sequence == readSequence_) return std::nullopt;
    requestedSequence_ = sequence;
    requested_ = true;
    if (!thread_.joinable()) thread_ = std::thread(&ClipboardReader::Run, this);
    changed_.notify_all();
    changed_.wait_for(lock, patience, [this] { return !requested_; });
  }
  // A read that an earlier call started and that is still under way is not waited for again:
  // its owner may be hung (one that never renders a text it offered holds the read for as long
  // as it hangs), and every wait here is a wait of the window's.
  return std::exchange(result_, std::nullopt);
}

void ClipboardReader::SkipCurrent() {
  std::lock_guard lock(mutex_);
  readSequence_ = GetClipboardSequenceNumber();
  haveRead_ = true;
}

bool ClipboardReader::Busy() const {
  std::lock_guard lock(mutex_);
  return requested_ || result_.has_value();
}

void ClipboardReader::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return requested_ || stop_; });
    if (stop_) return;
    const DWORD sequence = requestedSequence_;
    lock.unlock();
    // A clipboard that cannot be had leaves the change unread: the next poll tries again.
    std::optional<std::wstring> text = read_();
    lock.lock();
    if (text) {
      // The clipboard may have changed again while it was read: the next poll sees that.
      result_ = std::move(text);
      readSequence_ = sequence;
      haveRead_ = true;
    }
    requested_ = false;
    changed_.notify_all();
  }
}

}  // namespace kelvara
