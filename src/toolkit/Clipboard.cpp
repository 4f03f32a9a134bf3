#include "Clipboard.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace kelvara::toolkit {

namespace {
// Another program may hold the clipboard for a moment; a few short retries ride that out
// without blocking the user interface for long.
bool OpenWithRetry() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(2);
  }
  return false;
}

struct ClipboardSession {
  bool open = OpenWithRetry();
  ~ClipboardSession() {
    if (open) CloseClipboard();
  }
};
}  // namespace

std::wstring Clipboard::GetText() {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return {};
  ClipboardSession session;
  if (!session.open) return {};
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return {};
  const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
  if (!text) return {};
  // The block may lack its terminating zero: never read past its size.
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  std::wstring result(text, wcsnlen(text, capacity));
  GlobalUnlock(data);
  return result;
}

bool Clipboard::SetText(const std::wstring& text) {
  ClipboardSession session;
  if (!session.open) return false;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return false;
  void* p = GlobalLock(block);
  std::memcpy(p, text.c_str(), bytes);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_UNICODETEXT, block)) {
    GlobalFree(block);
    return false;
  }
  return true;  // the clipboard owns the block now
}

bool Clipboard::Clear() {
  ClipboardSession session;
  return session.open && EmptyClipboard();
}

unsigned long Clipboard::SequenceNumber() { return GetClipboardSequenceNumber(); }

}  // namespace kelvara::toolkit
