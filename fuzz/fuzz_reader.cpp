// Any bytes as a dictionary file of either version: opening names an error or succeeds, and
// reading what opened (lookups, every block) never reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "lookup/Dictionary.h"
#include "lookup/SearchWords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvara::OpenResult opened = kelvara::Dictionary::FromBytes(std::span(data, size));
  if (opened.dict) {
    // Version 2 reads its blocks here, not at opening.
    (void)kelvara::SearchWords(*opened.dict, "a");
    (void)opened.dict->CheckAllBlocks();
    for (std::size_t row = 0; row < opened.dict->size() && row < 64; ++row) (void)opened.dict->Meaning(row);
  } else if (opened.error == kelvara::DictError::None || opened.message.empty()) {
    __builtin_trap();  // a failure must be named
  }
  return 0;
}
