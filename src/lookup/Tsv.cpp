#include "Tsv.h"

#include "Utf8.h"

namespace kelvara {

TsvParseResult ParseTsv(std::string_view content) {
  TsvParseResult result;
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (content.substr(0, kBom.size()) == kBom) content.remove_prefix(kBom.size());

  std::size_t lineNumber = 0;
  while (!content.empty()) {
    ++lineNumber;
    const std::size_t newline = content.find('\n');
    std::string_view line = content.substr(0, newline);
    content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    auto fail = [&](std::string reason) {
      result.rows.clear();
      result.errorLine = lineNumber;
      result.error = std::move(reason);
      return std::move(result);
    };
    if (line.empty()) continue;
    if (const std::size_t bad = utf8::FindInvalid(line); bad != std::string_view::npos) {
      return fail("the line is not valid UTF-8 (at byte " + std::to_string(bad + 1) + ")");
    }
    if (line.find('\0') != std::string_view::npos) return fail("the line contains a NUL character");
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return fail("the line has no tab between headword and meaning");
    if (tab == 0) return fail("the headword is empty");

    WordRow row;
    std::size_t start = 0;
    while (true) {
      const std::size_t next = line.find('\t', start);
      const std::string_view cell = line.substr(start, next == std::string_view::npos ? line.npos : next - start);
      // A carriage return inside the line is a line break of the cell (as FormatTsv writes it).
      std::string& added = row.emplace_back();
      added.reserve(cell.size());
      for (char c : cell) {
        added += c;
        if (c == '\r') added += '\n';
      }
      if (next == std::string_view::npos) break;
      start = next + 1;
    }
    if (std::string problem = CheckRow(row); !problem.empty()) return fail(std::move(problem));
    result.rows.push_back(std::move(row));
  }
  return result;
}

namespace {

// Imported meanings have lines: each CR LF is written as a lone CR, which keeps the row on one
// line and which ParseTsv reads back as CR LF.
void AppendCell(std::string& out, std::string_view cell) {
  for (std::size_t i = 0; i < cell.size(); ++i) {
    out.push_back(cell[i]);
    if (cell[i] == '\r' && i + 1 < cell.size() && cell[i + 1] == '\n') ++i;
  }
}

}  // namespace

std::string FormatTsv(const Dictionary& dict, std::string& problem) {
  std::string out;
  problem.clear();
  for (std::size_t row = 0; row < dict.size(); ++row) {
    const std::size_t rowStart = out.size();
    for (std::size_t c = 0; c < dict.ColumnCount(); ++c) {
      const std::optional<std::string> cell = dict.Cell(row, c);
      if (!cell) {
        out.resize(rowStart);
        problem = "row " + std::to_string(row + 1) + " lies in a damaged block of the file";
        return out;
      }
      if (c > 0) out.push_back('\t');
      AppendCell(out, *cell);
    }
    // A row that ends in a line break's CR gets a CR LF line end, whose CR ParseTsv drops.
    if (!out.empty() && out.back() == '\r') out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}

}  // namespace kelvara
