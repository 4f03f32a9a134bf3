// The system clipboard as plain Unicode text.
#pragma once

#include <string>

namespace kelvara::toolkit {

class Clipboard {
 public:
  // The clipboard's text; empty when it holds no text or cannot be opened.
  static std::wstring GetText();
  // Puts a text on the clipboard; false when the clipboard could not be had.
  static bool SetText(const std::wstring& text);
  // Empties the clipboard; false when it could not be opened.
  static bool Clear();
  // A number that changes whenever the clipboard's contents change.
  static unsigned long SequenceNumber();
};

}  // namespace kelvara::toolkit
