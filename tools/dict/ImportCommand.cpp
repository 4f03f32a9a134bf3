#include "ImportCommand.h"

#include <chrono>
#include <optional>

#include "FileInUse.h"
#include "import/Merge.h"
#include "import/SourceFiles.h"
#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"

namespace kelvara {
namespace {

using Clock = std::chrono::steady_clock;

std::string U8(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

// A status line rewritten in place, shown once the import has run for a second (a quick import
// prints nothing but its summary).
class StatusLine {
 public:
  explicit StatusLine(const std::function<void(const std::string&)>& sink)
      : sink_(sink), start_(Clock::now()) {}
  ~StatusLine() { End(); }

  void Show(const std::string& what, std::uint64_t done = 0, std::uint64_t total = 0) {
    if (!sink_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (shown_ && what == what_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    what_ = what;
    std::string line = "\r" + what;
    if (total > 0) line += ": " + std::to_string(std::min<std::uint64_t>(100, done * 100 / total)) + "%";
    const std::size_t length = line.size();
    if (length < width_) line.append(width_ - length, ' ');
    width_ = std::max(width_, length);
    sink_(line);
    shown_ = true;
  }

  void End() {
    if (shown_ && sink_) sink_("\n");
    shown_ = false;
  }

 private:
  const std::function<void(const std::string&)>& sink_;
  Clock::time_point start_, last_;
  std::string what_;
  std::size_t width_ = 0;
  bool shown_ = false;
};

// A cell of the dictionary added to: one whose block turns out damaged stops the import rather
// than vanish from the new file.
bool TakeCell(const std::optional<std::string>& cell, std::string& out) {
  if (!cell) return false;
  out = *cell;
  return true;
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunImport(const ImportRequest& request, std::string& out, std::string& err,
              const ToolHooks& hooks) {
  const std::string target = U8(request.target);
  std::error_code ec;
  const bool exists = std::filesystem::exists(request.target, ec);
  const std::string untouched = exists ? "Nothing was written; " + target + " is as it was.\n"
                                       : "Nothing was written.\n";
  if (request.add && !exists && !request.createIfMissing) {
    err += "kelvara-dict: " + target + " does not exist; to make a new dictionary, import without --add.\n";
    return kExitDictionary;
  }
  if (exists && FileInUse(request.target)) {
    err += "kelvara-dict: " + target + " is open in Kelvara Dictionary (or another program); close it and try again. Nothing was written.\n";
    return kExitOutput;
  }

  import::SourcePlan plan;
  std::string problem;
  if (!import::PlanSources(request.sources, plan, problem)) {
    err += "kelvara-dict: " + problem + "\n" + untouched;
    return kExitSource;
  }
  for (const std::string& note : plan.notes) out += note + "\n";

  StatusLine status(hooks.progress);
  std::vector<WordRow> existing;
  std::string existingName = U8(request.target.filename());
  if (request.add && exists) {
    status.Show("Reading " + target);
    OpenResult opened = Dictionary::Open(request.target);
    if (!opened.dict) {
      status.End();
      err += "kelvara-dict: " + opened.message + "\nNothing was written.\n";
      return kExitDictionary;
    }
    const Dictionary& dict = *opened.dict;
    existing.reserve(dict.size());
    for (std::size_t row = 0; row < dict.size(); ++row) {
      WordRow cells(dict.ColumnCount());
      for (std::size_t c = 0; c < cells.size(); ++c) {
        if (!TakeCell(dict.Cell(row, c), cells[c])) {
          status.End();
          err += "kelvara-dict: " + target + ": row " + std::to_string(row + 1) +
                 " lies in a damaged part of the file.\nNothing was written.\n";
          return kExitDictionary;
        }
      }
      existing.push_back(std::move(cells));
    }
    // Read before the sources (a damaged file is told at once), and our hold on it ends here:
    // the rename at the end needs it free.
  }
  std::vector<import::Source> sources(plan.sources.size());
  std::vector<std::size_t> counts(plan.sources.size());
  for (std::size_t i = 0; i < plan.sources.size(); ++i) {
    const std::string what = "Reading " + U8(plan.sources[i].path.filename()) + " (" +
                             std::to_string(i + 1) + " of " + std::to_string(plan.sources.size()) + ")";
    status.Show(what);
    const import::Progress progress = [&](std::uint64_t done, std::uint64_t total) {
      status.Show(what, done, total);
    };
    if (!import::ReadSource(plan.sources[i], sources[i], problem, progress)) {
      status.End();
      err += "kelvara-dict: " + problem + "\n" + untouched;
      return kExitSource;
    }
    counts[i] = sources[i].entries.size();
    if (counts[i] == 0) {
      status.End();
      err += "kelvara-dict: " + U8(plan.sources[i].path) + ": no headwords in it.\n" + untouched;
      return kExitSource;
    }
  }

  const std::size_t existingRows = existing.size();

  status.Show("Merging");
  import::MergeStats stats;
  import::MergedRows rows = import::MergeSources(std::move(existing), existingName, std::move(sources), stats);
  status.Show("Sorting");
  const std::vector<std::uint32_t> order =
      IndexOrder(rows.size(), [&](std::size_t r) { return rows.Headword(r); });
  // Twice through the rows in index order: their sizes place every block, then their text is
  // written block by block. Neither the rows' text nor the file is held whole a second time.
  StreamingDictionaryWriter writer(rows.ColumnCount());
  std::vector<std::string_view> cells;
  for (const std::uint32_t r : order) writer.Plan(rows.Headword(r), rows.CellsSize(r));
  std::string failed = writer.Begin(request.target);
  for (std::size_t i = 0; failed.empty() && i < order.size(); ++i) {
    if (i % 4096 == 0) status.Show("Writing " + target, i, order.size());
    if (i + 8 < order.size()) rows.Prefetch(order[i + 8]);
    rows.Cells(order[i], cells);
    // Imported text was scanned when it was mended; the rows of the dictionary added to were not.
    failed = writer.Add(rows.Headword(order[i]), cells, order[i] >= existingRows);
  }
  if (failed.empty()) failed = writer.Finish();
  if (!failed.empty()) {
    status.End();
    err += "kelvara-dict: " + failed + "\n" + untouched;
    return kExitOutput;
  }
  status.End();

  for (std::size_t i = 0; i < plan.sources.size(); ++i) {
    out += "  " + U8(plan.sources[i].path) + " (" + std::string(import::FormatName(plan.sources[i].format)) +
           "): " + Count(counts[i], "headword", "headwords") + "\n";
  }
  out += (request.add ? "Added to " : "Imported into ") + target + ": " +
         Count(stats.entries - stats.skipped, "headword", "headwords") + " from " +
         Count(plan.sources.size(), "source", "sources") + "; " + Count(stats.rows, "row", "rows") +
         " in all";
  if (existingRows > 0) out += " (" + std::to_string(existingRows) + " kept)";
  out += ".\n";
  if (stats.joined > 0) out += "  " + Count(stats.joined, "headword", "headwords") + " already present (letter case aside): the text joined that row.\n";
  if (stats.cleaned > 0) out += "  " + Count(stats.cleaned, "entry", "entries") + " mended (tabs, stray line breaks, NULs or bytes that were not UTF-8).\n";
  if (stats.skipped > 0) out += "  " + Count(stats.skipped, "entry", "entries") + " skipped: an empty headword.\n";
  return kExitOk;
}

}  // namespace kelvara
