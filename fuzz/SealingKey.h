// A header of the given format version and its file key, made once with the real password, so
// that a fuzz target can seal any bytes as the writer seals a file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lookup/Crypto.h"
#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Format.h"

namespace kelvara {

struct SealingKey {
  std::vector<std::uint8_t> header;
  crypto::Key key{};
  explicit SealingKey(std::uint16_t formatVersion) {
    WriteOptions options;
    options.kdfIterations = format::kMinIterations;
    options.formatVersion = formatVersion;
    header = EncodeDictionary({}, options).bytes;
    header.resize(format::kHeaderSize);
    format::KeyCheck check;
    format::DeriveFileKey(kDictionaryPassword, std::span(header).subspan(format::kOffSalt, format::kSaltSize),
                          format::kMinIterations, key, check);
  }
};

}  // namespace kelvara
