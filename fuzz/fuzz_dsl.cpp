// Any bytes as a DSL file: either entries or a message, never both; and whatever the reader gives
// merges into rows that the writer accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/Dsl.h"
#include "import/Merge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  import::Source source;
  std::string error;
  const bool ok = import::ParseDsl(std::string_view(reinterpret_cast<const char*>(data), size),
                                   "fuzz.dsl", source, error);
  if (!ok) {
    if (error.empty() || !source.entries.empty()) __builtin_trap();
    return 0;
  }
  if (source.entries.empty() || source.name.empty()) __builtin_trap();
  std::vector<import::Source> sources;
  sources.push_back(std::move(source));
  import::MergeStats stats;
  for (const WordRow& row : import::MergeToRows({}, "", std::move(sources), stats)) {
    if (!CheckRow(row).empty()) __builtin_trap();
  }
  return 0;
}
