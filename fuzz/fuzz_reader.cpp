// Any bytes as a dictionary file: opening names an error or succeeds, never reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "lookup/Dictionary.h"
#include "lookup/SearchWords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvara::OpenResult opened = kelvara::Dictionary::FromBytes(std::span(data, size));
  if (opened.dict) {
    (void)kelvara::SearchWords(*opened.dict, "a");
  } else if (opened.error == kelvara::DictError::None || opened.message.empty()) {
    __builtin_trap();  // a failure must be named
  }
  return 0;
}
