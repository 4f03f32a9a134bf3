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
  std::string problem;
  const TsvParseResult again = ParseTsv(FormatTsv(*opened.dict, problem));
  if (!problem.empty()) __builtin_trap();  // freshly written: nothing is damaged
  if (!again.ok() || again.rows.size() != parsed.rows.size()) __builtin_trap();
  // The dump lists rows in index order; the older format keeps source order and the index
  // beside it, so it tells which source row each dumped one must be.
  options.formatVersion = format::kVersion1;
  const OpenResult old = Dictionary::FromBytes(EncodeDictionary(parsed.rows, options).bytes);
  if (!old.dict) __builtin_trap();
  for (std::size_t i = 0; i < parsed.rows.size(); ++i) {
    const WordRow& source = parsed.rows[old.dict->SortedRow(i)];
    for (std::size_t c = 0; c < again.rows[i].size(); ++c) {
      const std::string_view original = c < source.size() ? std::string_view(source[c]) : std::string_view();
      if (again.rows[i][c] != original) __builtin_trap();
    }
  }
  return 0;
}
