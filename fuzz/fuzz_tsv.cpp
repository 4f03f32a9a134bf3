// Any bytes as a dictionary's tab-separated source: a clean parse or a numbered bad line; and what
// parses builds a dictionary whose dump parses back to the same table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Format.h"
#include "lookup/Tsv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  const TsvParseResult parsed = ParseTsv(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.ok()) {
    if (parsed.error.empty() || !parsed.rows.empty()) __builtin_trap();
    return 0;
  }
  WriteOptions options;
  options.kdfIterations = format::kMinIterations;
  const EncodeResult encoded = EncodeDictionary(parsed.rows, options);
  if (!encoded.error.empty()) __builtin_trap();  // whatever parses must build
  const OpenResult opened = Dictionary::FromBytes(encoded.bytes);
  if (!opened.dict || opened.dict->size() != parsed.rows.size()) __builtin_trap();
  const TsvParseResult again = ParseTsv(FormatTsv(*opened.dict));
  if (!again.ok() || again.rows.size() != parsed.rows.size()) __builtin_trap();
  for (std::size_t r = 0; r < parsed.rows.size(); ++r) {
    for (std::size_t c = 0; c < again.rows[r].size(); ++c) {
      const std::string_view original =
          c < parsed.rows[r].size() ? std::string_view(parsed.rows[r][c]) : std::string_view();
      if (again.rows[r][c] != original) __builtin_trap();
    }
  }
  return 0;
}
