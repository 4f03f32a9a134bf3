// Any bytes as a StarDict dictionary: .ifo, .idx (plain or gzip), .dict (plain or dictzip) and
// an optional .syn, split at "#~#" lines. Reading succeeds with sound entries or names a reason.
#include <cstddef>
#include <cstdint>

#include "ImportFuzzCheck.h"
#include "import/StarDict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara::import;
  const auto parts = SplitParts(std::string_view(reinterpret_cast<const char*>(data), size));
  if (parts.size() < 3) return 0;
  StarDictBytes files{parts[0], parts[1], parts[2], std::nullopt};
  if (parts.size() > 3) files.syn = parts[3];
  Source source;
  std::string error;
  CheckRead(ReadStarDictBytes(files, source, error), source, error);
  return 0;
}
