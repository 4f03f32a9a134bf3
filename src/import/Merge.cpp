#include "Merge.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "lookup/CaseFold.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

// Bytes that are not UTF-8 as U+FFFD; true when there were any.
bool RepairUtf8(std::string& text) {
  if (utf8::IsValid(text)) return false;
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
  text = std::move(out);
  return true;
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

// Row numbers by folded headword, open addressing: four bytes a slot instead of a folded copy of
// every headword in a node-based map.
class HeadwordTable {
 public:
  explicit HeadwordTable(const std::vector<WordRow>& rows) : rows_(rows) {}

  void Reserve(std::size_t n) {
    std::size_t want = 16;
    while (want < n * 2) want <<= 1;
    if (want > slots_.size()) Rehash(want);
  }

  // The row already holding this headword, or -1 after recording `row` as its holder.
  std::int64_t FindOrAdd(std::uint32_t row) {
    if ((used_ + 1) * 2 > slots_.size()) Rehash(std::max<std::size_t>(16, slots_.size() * 2));
    const std::string_view word = rows_[row][0];
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = FoldedHash(word) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == 0) {
        slots_[i] = row + 1;
        ++used_;
        return -1;
      }
      if (CompareFolded(rows_[slots_[i] - 1][0], word) == 0) return slots_[i] - 1;
    }
  }

 private:
  void Rehash(std::size_t size) {
    std::vector<std::uint32_t> old(size, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t v : old) {
      if (v == 0) continue;
      std::size_t i = FoldedHash(rows_[v - 1][0]) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = v;
    }
  }

  const std::vector<WordRow>& rows_;
  std::vector<std::uint32_t> slots_;
  std::size_t used_ = 0;
};

}  // namespace

std::string SourceNameLine(const std::string& name) { return "\xE2\x80\x94 " + name + " \xE2\x80\x94"; }

bool CleanEntry(Entry& entry) {
  bool changed = RepairUtf8(entry.headword);
  std::string& h = entry.headword;
  if (h.find_first_of(std::string_view("\t\r\n\0", 4)) != std::string::npos) {
    std::string out;
    out.reserve(h.size());
    for (char c : h) {
      if (c == '\0') continue;
      out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    h = std::move(out);
    changed = true;
  }
  // Blanks and byte order marks in any mix at the start (fuzzing found " \uFEFF...").
  for (;;) {
    const std::size_t first = h.find_first_not_of(' ');
    if (first == std::string::npos) {
      h.clear();
      break;
    }
    h.erase(h.find_last_not_of(' ') + 1);
    h.erase(0, first);
    if (!h.starts_with("\xEF\xBB\xBF")) break;
    h.erase(0, 3);
    changed = true;
  }

  std::string& m = entry.meaning;
  changed = RepairUtf8(m) || changed;
  if (m.find_first_of(std::string_view("\t\0", 2)) != std::string::npos) {
    std::erase(m, '\0');
    std::replace(m.begin(), m.end(), '\t', ' ');
    changed = true;
  }
  // Only a lone CR or LF needs the copy that ToCrLf makes.
  for (std::size_t i = m.find_first_of("\r\n"); i != std::string::npos; i = m.find_first_of("\r\n", i + 2)) {
    if (m[i] != '\r' || i + 1 >= m.size() || m[i + 1] != '\n') {
      m = ToCrLf(m);
      changed = true;
      break;
    }
  }
  return changed;
}

std::vector<WordRow> MergeSources(std::vector<WordRow> existing, const std::string& existingName,
                                  std::vector<Source>& sources, MergeStats& stats) {
  stats = {};
  std::vector<WordRow> rows = std::move(existing);
  std::size_t total = rows.size();
  for (const Source& s : sources) total += s.entries.size();
  rows.reserve(total);

  // Source 0 is the dictionary added to; source k > 0 is sources[k - 1]. The rows each one made
  // start at start[k], so a row's first source is found without keeping it per row.
  // A name comes from the source's own bytes (#NAME, bookname): it goes into meanings, so it is
  // mended as a headword is.
  auto cleanName = [](const std::string& name, std::size_t k) {
    Entry asEntry{name, {}};
    CleanEntry(asEntry);
    return asEntry.headword.empty() ? "Source " + std::to_string(k) : asEntry.headword;
  };
  std::vector<std::string> names{cleanName(existingName, 0)};
  for (std::size_t k = 0; k < sources.size(); ++k) names.push_back(cleanName(sources[k].name, k + 1));
  std::vector<std::size_t> start{0};
  HeadwordTable table(rows);
  table.Reserve(total);
  for (std::uint32_t r = 0; r < rows.size(); ++r) table.FindOrAdd(r);  // repeats stay as they were

  // Rows that already hold more than one text, with the source whose text came last.
  std::unordered_map<std::uint32_t, std::uint32_t> lastSource;
  auto firstSourceOf = [&](std::size_t row) {
    return static_cast<std::uint32_t>(std::upper_bound(start.begin(), start.end(), row) - start.begin() - 1);
  };

  for (std::size_t k = 0; k < sources.size(); ++k) {
    const auto source = static_cast<std::uint32_t>(k + 1);
    start.push_back(rows.size());
    for (Entry& entry : sources[k].entries) {
      ++stats.entries;
      if (CleanEntry(entry)) ++stats.cleaned;
      if (entry.headword.empty()) {
        ++stats.skipped;
        continue;
      }
      const auto row = static_cast<std::uint32_t>(rows.size());
      rows.push_back(WordRow{std::move(entry.headword), std::move(entry.meaning)});
      const std::int64_t holder = table.FindOrAdd(row);
      if (holder < 0) continue;
      WordRow added = std::move(rows.back());
      rows.pop_back();
      ++stats.joined;
      if (rows[holder].size() < 2) rows[holder].resize(2);
      std::string& meaning = rows[holder][1];
      auto it = lastSource.find(static_cast<std::uint32_t>(holder));
      if (it == lastSource.end()) {
        const std::uint32_t first = firstSourceOf(static_cast<std::size_t>(holder));
        meaning.insert(0, SourceNameLine(names[first]) + (meaning.empty() ? "" : "\r\n"));
        it = lastSource.emplace(static_cast<std::uint32_t>(holder), first).first;
      }
      if (it->second != source) {
        meaning += "\r\n\r\n" + SourceNameLine(names[source]);
        if (!added[1].empty()) meaning += "\r\n" + added[1];
        it->second = source;
      } else if (!added[1].empty()) {
        meaning += "\r\n\r\n" + added[1];
      }
    }
    std::vector<Entry>().swap(sources[k].entries);
  }
  rows.shrink_to_fit();
  stats.rows = rows.size();
  return rows;
}

}  // namespace kelvara::import
