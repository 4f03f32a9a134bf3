// What every importer gives: one source dictionary read into headwords and plain-text meanings.
// Portable: the importers run in kelvara-dict natively and on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara::import {

// A headword and its meaning as the source gives it, UTF-8. The meaning is plain text for the
// program's plain meaning box: no markup, line breaks as CR LF.
struct Entry {
  std::string headword;
  std::string meaning;
};

// One source dictionary: its own name (shown above its text when several sources give the same
// headword) and its entries in the source's order.
struct Source {
  std::string name;
  std::vector<Entry> entries;
};

// Called now and then while a source is read: work done and work in all, in any one unit.
using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Line breaks of any kind (LF, CR, CR LF) as CR LF, the form the multi-line meaning box needs.
std::string ToCrLf(std::string_view text);

}  // namespace kelvara::import
