// What every importer's fuzz target checks of a source it read: UTF-8 headwords that are not
// empty, and plain meanings (UTF-8, CR LF only); and of a failure: that it was named.
#pragma once

#include <string>

#include "import/ImportSource.h"
#include "lookup/Utf8.h"

namespace kelvara::import {

// Parts of one fuzz input, split at a line "#~#" (so that seeds stay readable).
inline std::vector<std::string_view> SplitParts(std::string_view input) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = input.find("\n#~#\n");
    parts.push_back(input.substr(0, at));
    if (at == std::string_view::npos) return parts;
    input.remove_prefix(at + 5);
  }
}

inline void CheckRead(bool ok, const Source& source, const std::string& error) {
  if (!ok) {
    if (error.empty()) __builtin_trap();  // a failure must be named
    return;
  }
  for (const Entry& e : source.entries) {
    if (e.headword.empty() || !utf8::IsValid(e.headword) || !utf8::IsValid(e.meaning)) __builtin_trap();
    for (std::size_t i = 0; i < e.meaning.size(); ++i) {
      const bool lf = e.meaning[i] == '\n';
      const bool cr = e.meaning[i] == '\r';
      if (lf && (i == 0 || e.meaning[i - 1] != '\r')) __builtin_trap();
      if (cr && (i + 1 == e.meaning.size() || e.meaning[i + 1] != '\n')) __builtin_trap();
    }
  }
}

}  // namespace kelvara::import
