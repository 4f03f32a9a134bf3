#include "Merge.h"

#include <algorithm>
#include <cstdint>

#include "lookup/CaseFold.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

// Bytes that are not UTF-8 as U+FFFD.
std::string RepairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    char32_t cp;
    const std::size_t n = utf8::DecodeLenient(p, end, &cp);
    if (cp == utf8::kReplacement && n == 1) {
      utf8::Append(out, cp);
    } else {
      out.append(p, n);
    }
    p += n;
  }
  return out;
}

std::uint64_t FoldedHash(std::string_view s) {
  std::uint64_t h = 1469598103934665603ull;
  const char* p = s.data();
  const char* const end = p + s.size();
  while (p < end) {
    h ^= NextFolded(p, end);
    h *= 1099511628211ull;
  }
  return h;
}

// Row numbers by folded headword, open addressing: eight bytes a slot instead of a folded copy of
// every headword in a node-based map. `Headword` gives a row's headword.
template <typename Headword>
class HeadwordTable {
 public:
  explicit HeadwordTable(const Headword& headword) : headword_(headword) {}

  void Reserve(std::size_t n) {
    std::size_t want = 16;
    while (want < n * 2) want <<= 1;
    if (want > slots_.size()) Rehash(want);
  }

  // The row already holding this headword, or -1 after recording `row` as its holder.
  std::int64_t FindOrAdd(std::uint32_t row) {
    if ((used_ + 1) * 2 > slots_.size()) Rehash(std::max<std::size_t>(16, slots_.size() * 2));
    const std::string_view word = headword_(row);
    const std::uint64_t hash = FoldedHash(word);
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = std::uint64_t{tag} << 32 | (row + 1u);
        ++used_;
        return -1;
      }
      // Another hash's tag spares the comparison of the texts.
      const auto held = static_cast<std::uint32_t>(slot);
      if (static_cast<std::uint32_t>(slot >> 32) == tag && CompareFolded(headword_(held - 1), word) == 0) {
        return held - 1;
      }
    }
  }

 private:
  void Rehash(std::size_t size) {
    std::vector<std::uint64_t> old(size, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t v : old) {
      if (v == 0) continue;
      std::size_t i = FoldedHash(headword_(static_cast<std::uint32_t>(v) - 1)) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = v;
    }
  }

  const Headword& headword_;
  std::vector<std::uint64_t> slots_;  // the hash's high half, then row + 1; 0 when free
  std::size_t used_ = 0;
};

}  // namespace

std::string SourceNameLine(const std::string& name) { return "\xE2\x80\x94 " + name + " \xE2\x80\x94"; }

bool CleanEntry(Entry& entry, TextArena& keep, bool meaningSound) {
  bool changed = false;
  std::string_view h = entry.headword;
  if (!CellIsSound(h, true)) {
    std::string out;
    const std::string repaired = RepairUtf8(h);
    out.reserve(repaired.size());
    for (char c : repaired) {
      if (c == '\0') continue;
      out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    h = keep.Keep(out);
    changed = true;
  }
  // Blanks and byte order marks in any mix at the start (fuzzing found " \uFEFF...").
  for (;;) {
    const std::size_t first = h.find_first_not_of(' ');
    if (first == std::string_view::npos) {
      h = {};
      break;
    }
    h = h.substr(first, h.find_last_not_of(' ') + 1 - first);
    if (!h.starts_with("\xEF\xBB\xBF")) break;
    h.remove_prefix(3);
    changed = true;
  }
  entry.headword = h;

  const std::string_view m = entry.meaning;
  if (!meaningSound && !CellIsSound(m, false)) {
    std::string out = RepairUtf8(m);
    std::erase(out, '\0');
    std::replace(out.begin(), out.end(), '\t', ' ');
    out = ToCrLf(out);
    entry.meaning = keep.Keep(out);
    changed = true;
  }
  return changed;
}

void MergedRows::Cells(std::size_t row, std::vector<std::string_view>& cells) {
  const Slot& r = rows_[row];
  cells.clear();
  if (r.first.next == kNone) {
    cells.push_back(r.first.text);
  } else {
    std::string& m = joined_;
    m = SourceNameLine(names_[r.first.source]);
    if (!r.first.text.empty()) m.append("\r\n").append(r.first.text);
    std::uint32_t last = r.first.source;
    for (std::uint32_t t = r.first.next; t != kNone; t = more_[t].next) {
      const Text& added = more_[t];
      if (added.source != last) {
        m.append("\r\n\r\n").append(SourceNameLine(names_[added.source]));
        if (!added.text.empty()) m.append("\r\n").append(added.text);
        last = added.source;
      } else if (!added.text.empty()) {
        m.append("\r\n\r\n").append(added.text);
      }
    }
    cells.push_back(m);
  }
  if (row < existing_.size()) {
    const WordRow& kept = existing_[row];
    for (std::size_t c = 2; c < kept.size(); ++c) cells.push_back(kept[c]);
  }
  cells.resize(columns_ - 1);
}

std::uint64_t MergedRows::CellsSize(std::size_t row) const {
  const Slot& r = rows_[row];
  std::uint64_t size = r.first.text.size();
  if (r.first.next != kNone) {
    // As Cells joins them: name lines, CR LF after a name, an empty line between texts.
    size += nameLineSizes_[r.first.source] + (r.first.text.empty() ? 0 : 2);
    std::uint32_t last = r.first.source;
    for (std::uint32_t t = r.first.next; t != kNone; t = more_[t].next) {
      const Text& added = more_[t];
      const std::uint64_t text = added.text.empty() ? 0 : 2 + added.text.size();
      if (added.source != last) {
        size += 4 + nameLineSizes_[added.source] + text;
        last = added.source;
      } else {
        size += text == 0 ? 0 : text + 2;
      }
    }
  }
  if (row < existing_.size()) {
    const WordRow& kept = existing_[row];
    for (std::size_t c = 2; c < kept.size() && c < columns_; ++c) size += kept[c].size();
  }
  return size;
}

void MergedRows::Prefetch(std::size_t row) const {
  const Slot& r = rows_[row];
  __builtin_prefetch(r.headword.data());
  __builtin_prefetch(r.first.text.data());
}

WordRow MergedRows::Row(std::size_t row) {
  std::vector<std::string_view> cells;
  Cells(row, cells);
  WordRow whole{std::string(Headword(row))};
  for (const std::string_view cell : cells) whole.emplace_back(cell);
  // A kept row keeps its own width; imported rows have two cells.
  const std::size_t width = row < existing_.size() ? std::max<std::size_t>(existing_[row].size(), 2) : 2;
  whole.resize(width);
  return whole;
}

MergedRows MergeSources(std::vector<WordRow> existing, const std::string& existingName,
                        std::vector<Source> sources, MergeStats& stats) {
  stats = {};
  MergedRows merged;
  merged.existing_ = std::move(existing);
  merged.sources_ = std::move(sources);
  auto& rows = merged.rows_;
  std::size_t total = merged.existing_.size();
  for (const Source& s : merged.sources_) total += s.entries.size();
  rows.reserve(total);

  // A name comes from the source's own bytes (#NAME, bookname): it goes into meanings, so it is
  // mended as a headword is.
  auto cleanName = [&](const std::string& name, std::size_t k) {
    Entry asEntry{name, {}};
    CleanEntry(asEntry, merged.mended_);
    return asEntry.headword.empty() ? "Source " + std::to_string(k) : std::string(asEntry.headword);
  };
  merged.names_.push_back(cleanName(existingName, 0));
  for (std::size_t k = 0; k < merged.sources_.size(); ++k) {
    merged.names_.push_back(cleanName(merged.sources_[k].name, k + 1));
  }
  for (const std::string& name : merged.names_) merged.nameLineSizes_.push_back(SourceNameLine(name).size());

  for (const WordRow& kept : merged.existing_) {
    const std::string_view meaning = kept.size() > 1 ? std::string_view(kept[1]) : std::string_view();
    rows.push_back({kept.empty() ? std::string_view() : std::string_view(kept[0]), {meaning, 0, MergedRows::kNone},
                    MergedRows::kNone});
    merged.columns_ = std::max(merged.columns_, kept.size());
  }
  const auto headword = [&](std::size_t row) { return rows[row].headword; };
  HeadwordTable table(headword);
  table.Reserve(total);
  for (std::uint32_t r = 0; r < rows.size(); ++r) table.FindOrAdd(r);  // repeats stay as they were

  for (std::size_t k = 0; k < merged.sources_.size(); ++k) {
    const auto source = static_cast<std::uint32_t>(k + 1);
    const bool sound = merged.sources_[k].meaningsSound;
    const EntryList& entries = merged.sources_[k].entries;
    for (std::size_t n = 0; n < entries.size(); ++n) {
      // A reader keeps the text in the order it read it, which is seldom this one: each headword
      // is fetched a few entries early, so that waiting for it overlaps the work before.
      if (n + 8 < entries.size()) __builtin_prefetch(entries[n + 8].headword.data());
      Entry entry = entries[n];
      ++stats.entries;
      if (CleanEntry(entry, merged.mended_, sound)) ++stats.cleaned;
      if (entry.headword.empty()) {
        ++stats.skipped;
        continue;
      }
      const auto row = static_cast<std::uint32_t>(rows.size());
      rows.push_back({entry.headword, {entry.meaning, source, MergedRows::kNone}, MergedRows::kNone});
      const std::int64_t holder = table.FindOrAdd(row);
      if (holder < 0) continue;
      rows.pop_back();
      ++stats.joined;
      MergedRows::Slot& r = rows[static_cast<std::size_t>(holder)];
      const auto text = static_cast<std::uint32_t>(merged.more_.size());
      merged.more_.push_back({entry.meaning, source, MergedRows::kNone});
      if (r.last == MergedRows::kNone) {
        r.first.next = text;
      } else {
        merged.more_[r.last].next = text;
      }
      r.last = text;
    }
  }
  rows.shrink_to_fit();
  merged.more_.shrink_to_fit();
  stats.rows = rows.size();
  return merged;
}

std::vector<WordRow> MergeToRows(std::vector<WordRow> existing, const std::string& existingName,
                                 std::vector<Source> sources, MergeStats& stats) {
  MergedRows merged = MergeSources(std::move(existing), existingName, std::move(sources), stats);
  std::vector<WordRow> rows;
  rows.reserve(merged.size());
  for (std::size_t r = 0; r < merged.size(); ++r) rows.push_back(merged.Row(r));
  return rows;
}

}  // namespace kelvara::import
