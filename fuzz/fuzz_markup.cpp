// Any bytes as HTML, Pango and XDXF meanings: plain text comes out, UTF-8 when UTF-8 went in,
// with CR LF line breaks only.
#include <cstddef>
#include <cstdint>

#include "import/PlainText.h"
#include "lookup/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  using namespace kelvara::import;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool valid = utf8::IsValid(text);
  for (const Markup markup : {Markup::kHtml, Markup::kPango, Markup::kXdxf}) {
    const std::string plain = MarkupToPlainText(text, markup);
    if (valid && !utf8::IsValid(plain)) __builtin_trap();
    for (std::size_t i = 0; i < plain.size(); ++i) {
      if (plain[i] == '\n' && (i == 0 || plain[i - 1] != '\r')) __builtin_trap();
    }
  }
  if (valid && !utf8::IsValid(DecodeEntities(text))) __builtin_trap();
  return 0;
}
