// Any bytes as a dictd dictionary: .index and .dict (plain or dictzip), split at a "#~#" line.
// Reading succeeds with sound entries or names a reason.
#include <cstddef>
#include <cstdint>

#include "ImportFuzzCheck.h"
#include "import/Dictd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara::import;
  const auto parts = SplitParts(std::string_view(reinterpret_cast<const char*>(data), size));
  if (parts.size() != 2) return 0;
  Source source;
  std::string error;
  CheckRead(ReadDictdBytes(parts[0], parts[1], source, error), source, error);
  return 0;
}
