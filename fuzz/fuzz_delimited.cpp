// Any bytes as a tab-separated or CSV list (the first byte chooses): entries or a message, never
// both; and the entries merge into rows that the writer accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/Delimited.h"
#include "import/Merge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  if (size == 0) return 0;
  const auto delimiter = (data[0] & 1) ? import::Delimiter::Comma : import::Delimiter::Tab;
  import::Source source;
  std::string error;
  const bool ok = import::ParseDelimited(
      std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), delimiter, "fuzz.csv",
      source, error);
  if (!ok) {
    if (error.empty() || !source.entries.empty()) __builtin_trap();
    return 0;
  }
  std::vector<import::Source> sources;
  sources.push_back(std::move(source));
  import::MergeStats stats;
  for (const WordRow& row : import::MergeToRows({}, "", std::move(sources), stats)) {
    if (!CheckRow(row).empty()) __builtin_trap();
  }
  return 0;
}
