#include "SourceFiles.h"

#include <algorithm>
#include <fstream>

#include "Delimited.h"
#include "Dictd.h"
#include "Dsl.h"
#include "StarDict.h"
#include "TextLines.h"

namespace kelvara::import {
namespace {

namespace fs = std::filesystem;

std::string U8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string LowerName(const fs::path& p) {
  std::string name = U8(p.filename());
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

// `p` with the last `suffixLength` bytes of its file name replaced by `suffix`.
fs::path Sibling(const fs::path& p, std::size_t suffixLength, std::string_view suffix) {
  std::string name = U8(p.filename());
  name.resize(name.size() - suffixLength);
  name += suffix;
  return p.parent_path() / fs::path(std::u8string(name.begin(), name.end()));
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The first line of a text file of unknown kind, decoded, for guessing its format.
std::string FirstLine(const fs::path& p) {
  TextLines lines(p, U8(p));
  std::string line;
  if (lines.ok()) lines.Next(line);
  return line;
}

bool StartsWithBytes(const fs::path& p, std::string_view magic) {
  std::ifstream in(p, std::ios::binary);
  std::string head(magic.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  return in.gcount() == static_cast<std::streamsize>(magic.size()) && head == magic;
}

constexpr std::string_view kKnown =
    "StarDict .ifo, dictd .index, DSL .dsl or .dsl.dz, tab-separated .tsv or .tab, CSV .csv";

}  // namespace

std::string_view FormatName(SourceFormat format) {
  switch (format) {
    case SourceFormat::StarDict: return "StarDict";
    case SourceFormat::Dictd: return "dictd";
    case SourceFormat::Dsl: return "DSL";
    case SourceFormat::Tab: return "tab-separated";
    case SourceFormat::Csv: return "CSV";
  }
  return "?";
}

bool PlanSources(const std::vector<fs::path>& paths, SourcePlan& plan, std::string& error) {
  plan = {};
  auto add = [&](const fs::path& p, SourceFormat format) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(p, ec);
    if (ec) key = p;
    for (const PlannedSource& s : plan.sources) {
      std::error_code ec2;
      fs::path other = fs::weakly_canonical(s.path, ec2);
      if (ec2) other = s.path;
      if (other == key) return;
    }
    plan.sources.push_back({p, format});
  };

  for (const fs::path& p : paths) {
    const std::string shown = U8(p);
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    if (!fs::exists(status)) {
      error = shown + " does not exist.";
      return false;
    }
    if (fs::is_directory(status)) {
      error = shown + " is a folder; name the dictionary's files instead.";
      return false;
    }
    const std::string name = LowerName(p);
    auto ends = [&](std::string_view s) { return name.size() > s.size() && name.ends_with(s); };

    if (ends(".ifo")) {
      add(p, SourceFormat::StarDict);
      continue;
    }
    if (ends(".index")) {
      add(p, SourceFormat::Dictd);
      continue;
    }
    bool companion = false;
    for (std::string_view suffix : {".idx", ".idx.gz", ".syn", ".syn.dz", ".dict", ".dict.dz"}) {
      if (!ends(suffix)) continue;
      companion = true;
      if (const fs::path ifo = Sibling(p, suffix.size(), ".ifo"); Exists(ifo)) {
        add(ifo, SourceFormat::StarDict);
      } else if (const fs::path index = Sibling(p, suffix.size(), ".index");
                 suffix.starts_with(".dict") && Exists(index)) {
        add(index, SourceFormat::Dictd);
      } else {
        error = shown + " is part of a StarDict or dictd dictionary, but neither its .ifo nor its "
                        ".index lies beside it.";
        return false;
      }
      break;
    }
    if (companion) continue;
    if (ends("_abrv.dsl") || ends("_abrv.dsl.dz")) {
      plan.notes.push_back("Skipped " + shown + ": the abbreviations list of a DSL dictionary.");
      continue;
    }
    if (ends(".dsl") || ends(".dsl.dz")) {
      add(p, SourceFormat::Dsl);
      continue;
    }
    bool belongs = false;
    for (std::string_view suffix : {".ann", ".bmp", ".files.zip", ".dsl.files.zip"}) {
      if (!ends(suffix)) continue;
      if (Exists(Sibling(p, suffix.size(), ".dsl")) || Exists(Sibling(p, suffix.size(), ".dsl.dz"))) {
        plan.notes.push_back("Skipped " + shown + ": a DSL dictionary's annotation, icon or resources.");
        belongs = true;
      }
      break;
    }
    if (belongs) continue;
    if (ends(".tsv") || ends(".tab")) {
      add(p, SourceFormat::Tab);
      continue;
    }
    if (ends(".csv")) {
      add(p, SourceFormat::Csv);
      continue;
    }
    // Nothing in the name: the first bytes decide.
    if (StartsWithBytes(p, "StarDict's dict ifo file")) {
      add(p, SourceFormat::StarDict);
      continue;
    }
    if (!StartsWithBytes(p, "\x1F\x8B")) {
      const std::string line = FirstLine(p);
      if (line.starts_with("#NAME") || line.starts_with("#INDEX_LANGUAGE")) {
        add(p, SourceFormat::Dsl);
        continue;
      }
      if (line.find('\t') != std::string::npos) {
        add(p, SourceFormat::Tab);
        continue;
      }
    }
    error = shown + " is in no format kelvara-dict can import (" + std::string(kKnown) + ").";
    return false;
  }
  if (plan.sources.empty()) {
    error = "nothing to import among the files named (" + std::string(kKnown) + ").";
    return false;
  }
  return true;
}

bool ReadSource(const PlannedSource& source, Source& out, std::string& error,
                const Progress& progress) {
  switch (source.format) {
    case SourceFormat::StarDict: return ReadStarDict(source.path, out, error, progress);
    case SourceFormat::Dictd: return ReadDictd(source.path, out, error, progress);
    case SourceFormat::Dsl: return ReadDsl(source.path, out, error, progress);
    case SourceFormat::Tab: return ReadDelimited(source.path, Delimiter::Tab, out, error, progress);
    case SourceFormat::Csv: return ReadDelimited(source.path, Delimiter::Comma, out, error, progress);
  }
  error = "unknown format";
  return false;
}

}  // namespace kelvara::import
