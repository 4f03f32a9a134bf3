#include "Delimited.h"

#include <array>
#include <vector>

#include "TextLines.h"

namespace kelvara::import {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

bool IsHeaderRow(const std::vector<std::string>& cells) {
  static constexpr std::array<std::string_view, 6> kHeadword{"headword", "word", "english", "term", "entry", "lemma"};
  static constexpr std::array<std::string_view, 6> kMeaning{"meaning", "definition", "translation", "persian", "description", "gloss"};
  if (cells.size() < 2) return false;
  const std::string first = Lower(cells[0]), second = Lower(cells[1]);
  auto in = [](const auto& names, const std::string& s) {
    for (std::string_view n : names) {
      if (s == n) return true;
    }
    return false;
  };
  return in(kHeadword, first) && in(kMeaning, second);
}

// In tab-separated text a quote is taken as opening a quoted field only when the field closes
// on the same line, right before a tab or the line's end (as spreadsheets write it); otherwise
// it is an ordinary character, so that a stray quote in a meaning cannot swallow the lines
// after it.
bool ClosesOnThisLine(std::string_view line, std::size_t open, char sep) {
  for (std::size_t i = open + 1; i < line.size(); ++i) {
    if (line[i] != '"') continue;
    if (i + 1 < line.size() && line[i + 1] == '"') {
      ++i;
      continue;
    }
    return i + 1 == line.size() || line[i + 1] == sep;
  }
  return false;
}

// Splits one record, asking for further lines while a quoted field is open. False with `error`
// set on an unterminated quote or a record over the limit.
bool ReadRecord(TextLines& lines, std::string& line, char sep, std::vector<std::string>& cells,
                std::string& error, const std::string& name) {
  cells.clear();
  const std::uint64_t firstLine = lines.lineNumber();
  std::size_t recordBytes = line.size();
  std::string cell;
  std::size_t i = 0;
  bool quoted = false, fieldStart = true;
  for (;;) {
    if (i >= line.size()) {
      if (!quoted) break;
      // A line break inside quotes belongs to the field.
      std::string more;
      if (!lines.Next(more)) {
        error = lines.ok() ? name + ": line " + std::to_string(firstLine) +
                                 ": a quoted field is never closed (a missing double quote)."
                           : lines.error();
        return false;
      }
      recordBytes += more.size() + 1;
      if (recordBytes > kMaxLineBytes) {
        error = name + ": line " + std::to_string(firstLine) + ": a record longer than " +
                std::to_string(kMaxLineBytes >> 20) + " MiB; a quoted field is probably never closed.";
        return false;
      }
      cell += "\r\n";
      line = std::move(more);
      i = 0;
      continue;
    }
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        cell += c;
      }
    } else if (c == sep) {
      cells.push_back(std::move(cell));
      cell.clear();
      fieldStart = true;
      ++i;
      continue;
    } else if (c == '"' && fieldStart && (sep == ',' || ClosesOnThisLine(line, i, sep))) {
      quoted = true;
    } else {
      cell += c;
    }
    fieldStart = false;
    ++i;
  }
  cells.push_back(std::move(cell));
  return true;
}

// `name` names the file in messages, `sourceName` the source above its texts.
bool ParseLines(TextLines& lines, Delimiter delimiter, const std::string& name,
                const std::string& sourceName, Source& out, std::string& error,
                const Progress& progress) {
  out.name = sourceName;
  out.entries.clear();
  if (!lines.ok()) {
    error = lines.error();
    return false;
  }
  std::string line;
  std::vector<std::string> cells;
  bool first = true;
  while (lines.Next(line)) {
    if (progress && lines.lineNumber() % 4096 == 0) progress(lines.bytesDone(), lines.bytesTotal());
    if (line.empty()) continue;
    if (!ReadRecord(lines, line, static_cast<char>(delimiter), cells, error, name)) {
      out.entries.clear();
      return false;
    }
    const bool header = first && IsHeaderRow(cells);
    first = false;
    if (header) continue;
    std::string& meaning = cells.size() > 1 ? cells[1] : cells.emplace_back();
    for (std::size_t c = 2; c < cells.size(); ++c) {
      if (cells[c].empty()) continue;
      if (!meaning.empty()) meaning += "\r\n";
      meaning += cells[c];
    }
    out.entries.Add(cells[0], meaning);
  }
  if (!lines.ok()) {
    error = lines.error();
    out.entries.clear();
    return false;
  }
  if (progress) progress(lines.bytesTotal(), lines.bytesTotal());
  return true;
}

}  // namespace

bool ParseDelimited(std::string_view bytes, Delimiter delimiter, const std::string& name,
                    Source& out, std::string& error, const Progress& progress) {
  TextLines lines(bytes, name);
  return ParseLines(lines, delimiter, name, name, out, error, progress);
}

bool ReadDelimited(const std::filesystem::path& file, Delimiter delimiter, Source& out,
                   std::string& error, const Progress& progress) {
  const std::u8string u8 = file.u8string();
  const std::string name(u8.begin(), u8.end());
  TextLines lines(file, name);
  const std::u8string stem = file.stem().u8string();
  return ParseLines(lines, delimiter, name, std::string(stem.begin(), stem.end()), out, error,
                    progress);
}

}  // namespace kelvara::import
