// dictd dictionaries: X.index (one line a headword: the headword, the offset and the length of
// its definition in base 64) and X.dict or X.dict.dz (the definitions; dictzip is read by
// random access, chunk by chunk, never unpacked whole).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ImportSource.h"

namespace kelvara::import {

// Reads the dictionary whose index is `indexFile`; its .dict or .dict.dz lies beside it.
// - Every index line is an entry, in index order, except the 00-database-* entries (written
//   00databaseshort and so on in indexes made without --allchars): they describe the
//   dictionary, and 00-database-short gives its name (else the file's name does).
// - The headword is the index's (a fourth column, the original spelling that dictfmt
//   --index-keep-orig writes, is used when present). When the index has cut a headword down to
//   nothing (a punctuation mark such as ´), the first line of its definition stands in.
// - The meaning is the definition as dictd sends it and `dict` shows it, headword line
//   included: that line often carries the real spelling and pronunciation, which the index
//   has folded away.
// - Definitions that are not UTF-8 in a dictionary without 00-database-utf8 are read as
//   Latin-1, dictd's 8-bit form; in a dictionary that claims UTF-8 they are damage.
// On any lie or damage returns false with a message naming the file, the line or offset and
// the reason; `out` is then unspecified.
bool ReadDictd(const std::filesystem::path& indexFile, Source& out, std::string& error,
               const Progress& progress = {});

// The same from bytes in memory (tests and fuzzing); `dict` may be dictzip.
bool ReadDictdBytes(std::string_view index, std::string_view dict, Source& out, std::string& error);

}  // namespace kelvara::import
