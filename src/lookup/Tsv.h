// The tab-separated source of a dictionary: one row a line, headword, tab, meaning, then any
// further columns. UTF-8, with or without a byte order mark; LF or CRLF line ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Dictionary.h"
#include "DictionaryWriter.h"

namespace kelvara {

struct TsvParseResult {
  std::vector<WordRow> rows;
  std::size_t errorLine = 0;  // 1-based line of the first bad line; 0 when all is well
  std::string error;          // why that line is bad, in English
  bool ok() const { return errorLine == 0; }
};

// Stops at the first bad line: no tab, invalid UTF-8, a NUL, or a row CheckRow refuses (an empty
// headword, one with a line break, ...). Empty lines are skipped. A carriage return inside a line
// (not its line end) is a line break, CR LF, of its cell: that is how FormatTsv writes the lines
// of a multi-line meaning.
TsvParseResult ParseTsv(std::string_view content);

// The whole table in the same form, every row with every column, LF line ends and no byte order
// mark: ParseTsv of it builds an identical dictionary. A damaged block stops it: `problem` then
// names it (English) and the text returned is cut before the row that could not be read.
std::string FormatTsv(const Dictionary& dict, std::string& problem);

}  // namespace kelvara
