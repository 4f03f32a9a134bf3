// Sources into the rows of one dictionary: one row per headword, letter case ignored (the program
// lists "Apple" and "apple" together and shows the first one's meaning, so that one must hold
// every text). The row keeps the spelling met first.
//
// A row that gathers more than one text holds each under a line naming its source
// ("— WordNet —"), sources in the order given, a source's own repeats separated by an empty
// line. A row with one text holds it as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ImportSource.h"
#include "lookup/DictionaryWriter.h"

namespace kelvara::import {

struct MergeStats {
  std::size_t entries = 0;  // entries read from the sources
  std::size_t joined = 0;   // entries whose text went into a row an earlier entry made
  std::size_t cleaned = 0;  // entries whose headword or meaning needed mending (see CleanEntry)
  std::size_t skipped = 0;  // entries left out: nothing left of the headword
  std::size_t rows = 0;     // rows in the result
};

// Mends what a dictionary cannot hold, so that CheckRow accepts the row: in the headword a tab
// or line break becomes a space, NULs and leading byte order marks go, blanks around it go; in
// the meaning a tab becomes a space, NULs go, any line break becomes CR LF; bytes that are not
// UTF-8 become U+FFFD in both. Returns true when anything beyond the trimming changed.
bool CleanEntry(Entry& entry);

// `existing` (the rows of the dictionary added to, may be empty) stay first and in their order;
// an imported headword already there adds its text to the first such row, under `existingName`'s
// line and its own. The sources' entries are moved out as they are used (and their memory freed
// source by source).
std::vector<WordRow> MergeSources(std::vector<WordRow> existing, const std::string& existingName,
                                  std::vector<Source>& sources, MergeStats& stats);

// The line above a source's text in a row that holds several.
std::string SourceNameLine(const std::string& name);

}  // namespace kelvara::import
