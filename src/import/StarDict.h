// StarDict dictionaries: X.ifo (what the dictionary says of itself), X.idx or X.idx.gz (the
// headwords with the offset and size of their data), X.dict or X.dict.dz (the data) and an
// optional X.syn (synonyms pointing at headwords).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ImportSource.h"

namespace kelvara::import {

// Reads the dictionary whose .ifo is `ifoFile`; its other files lie beside it with the same
// name. Every headword of the .idx, then every synonym of the .syn (a headword of its own with
// its target's meaning), in file order. Text types are kept, markup types (h, g, x, k) become
// plain text, resources and binary types are dropped; the fields of one entry are joined by
// line breaks. On any lie or damage returns false with a message that names the file and the
// entry or offset; `out` is then unspecified.
bool ReadStarDict(const std::filesystem::path& ifoFile, Source& out, std::string& error,
                  const Progress& progress = {});

// The same from bytes in memory (tests and fuzzing): the .idx may be gzip, the .dict dictzip.
struct StarDictBytes {
  std::string_view ifo;
  std::string_view idx;
  std::string_view dict;
  std::optional<std::string_view> syn;
};
bool ReadStarDictBytes(const StarDictBytes& files, Source& out, std::string& error);

}  // namespace kelvara::import
