// Markup of dictionary meanings turned into the plain text of the program's meaning box:
// HTML (StarDict type h), Pango markup (g) and XDXF (x). Tags go, their text stays; entities are
// decoded; <br> and the ends of blocks become line breaks (CR LF); right-to-left text and every
// other character are kept as they are.
#pragma once

#include <string>
#include <string_view>

namespace kelvara::import {

enum class Markup { kHtml, kPango, kXdxf };

// Any bytes in, plain UTF-8 text out (bytes that are not UTF-8 pass through untouched; the
// caller decides about them). Blank lines at either end are dropped.
std::string MarkupToPlainText(std::string_view text, Markup markup);

// HTML's character references in text: named (&amp; &eacute; ...) and numeric (&#233; &#xE9;).
// An unknown name or a reference without its ';' stays as written; a number that is no
// character (0, a surrogate, past U+10FFFF) becomes U+FFFD.
std::string DecodeEntities(std::string_view text);

// Plain text tidied for the meaning box: CR LF line breaks, no blank lines at either end and no
// blanks at the end of lines.
std::string TidyPlainText(std::string_view text);
// The same into `out` (emptied first), whose memory is reused from entry to entry.
void TidyPlainText(std::string_view text, std::string& out);

}  // namespace kelvara::import
