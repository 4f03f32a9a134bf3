#include "DictTool.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Resolve.h"
#include "lookup/SearchWords.h"
#include "lookup/Suggest.h"
#include "lookup/Tsv.h"
#include "lookup/Utf8.h"

namespace kelvara {
namespace {

constexpr const char* kUsage =
    "Usage: kelvara-dict COMMAND ...\n"
    "\n"
    "Builds, checks, dumps and queries Kelvara Dictionary files (Data.db).\n"
    "\n"
    "  build SRC.tsv OUT.db   build a dictionary from tab-separated UTF-8 text: one row a line,\n"
    "                         headword, tab, meaning (may be empty), further columns kept;\n"
    "                         a byte order mark and CRLF line ends are accepted, empty lines\n"
    "                         skipped. The first bad line stops the build; OUT.db is then left\n"
    "                         as it was.\n"
    "  dump DB                print the table as tab-separated text that rebuilds it\n"
    "  info DB                print what the file's header and table hold\n"
    "  verify DB              open the file and check every row\n"
    "  lookup DB WORD         look WORD up as the program does: each listed headword on its own\n"
    "                         line, an empty line, then the meaning shown; when nothing matches,\n"
    "                         the suggestions are listed and follow the not-found message\n"
    "  lookup --copied DB TEXT\n"
    "                         look TEXT up as the program does with copied text: a short copy\n"
    "                         is cleaned of blanks and punctuation and taken to its base form\n"
    "  --help                 this text\n"
    "\n"
    "Exit codes: 0 success (lookup also when nothing is found), 1 the dictionary cannot be\n"
    "opened or verify found a problem, 2 wrong usage, 3 the source text cannot be read or has a\n"
    "bad line, 4 the output cannot be written.\n";

std::filesystem::path PathFromUtf8(const std::string& s) {
  return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int Usage(std::string& err, const std::string& problem) {
  err += "kelvara-dict: " + problem + "\n\n" + kUsage;
  return kExitUsage;
}

std::unique_ptr<Dictionary> OpenOrReport(const std::string& file, std::string& err) {
  OpenResult opened = Dictionary::Open(PathFromUtf8(file));
  if (!opened.dict) err += "kelvara-dict: " + opened.message + "\n";
  return std::move(opened.dict);
}

int Build(const std::string& source, const std::string& target, std::string& out, std::string& err) {
  std::string content;
  if (!ReadWholeFile(PathFromUtf8(source), content)) {
    err += "kelvara-dict: cannot read " + source + ".\n";
    return kExitSource;
  }
  TsvParseResult parsed = ParseTsv(content);
  if (!parsed.ok()) {
    err += source + ":" + std::to_string(parsed.errorLine) + ": " + parsed.error + "\n";
    return kExitSource;
  }
  if (std::string problem = WriteDictionaryFile(PathFromUtf8(target), parsed.rows); !problem.empty()) {
    err += "kelvara-dict: " + problem + "\n";
    return kExitOutput;
  }
  out += "Built " + target + ": " + std::to_string(parsed.rows.size()) + " rows.\n";
  return kExitOk;
}

int Info(const Dictionary& dict, std::string& out) {
  out += "format version: " + std::to_string(dict.FormatVersion()) + "\n";
  out += "file size: " + std::to_string(dict.FileSize()) + " bytes\n";
  out += "key derivation: PBKDF2-HMAC-SHA256, " + std::to_string(dict.KdfIterations()) + " iterations\n";
  out += "cipher: AES-256-GCM\n";
  out += "table: Words\n";
  out += "columns:";
  for (const std::string& name : dict.ColumnNames()) out += " " + name;
  out += "\nrows: " + std::to_string(dict.size()) + "\n";
  return kExitOk;
}

// Opening already checked the structure and the index; this checks every cell too.
int Verify(const Dictionary& dict, const std::string& file, std::string& out, std::string& err) {
  std::size_t problems = 0;
  for (std::size_t row = 0; row < dict.size(); ++row) {
    WordRow cells;
    for (std::size_t c = 0; c < dict.ColumnCount(); ++c) cells.emplace_back(dict.Cell(row, c));
    if (std::string problem = CheckRow(cells); !problem.empty()) {
      if (++problems <= 20) err += file + ": row " + std::to_string(row + 1) + ": " + problem + "\n";
    }
  }
  if (problems > 0) {
    err += file + ": " + std::to_string(problems) + " bad rows.\n";
    return kExitDictionary;
  }
  out += file + ": OK, " + std::to_string(dict.size()) + " rows.\n";
  return kExitOk;
}

int Lookup(const Dictionary& dict, const std::string& word, std::string& out) {
  const SearchResult result = LookUpWord(dict, word);
  for (std::size_t i = 0; i < result.matches.size(); ++i) {
    out += result.matches.Headword(i);
    out += '\n';
  }
  for (const std::string& s : result.suggestions) {
    out += s;
    out += '\n';
  }
  out += '\n';
  // The meaning box's line breaks are CR LF; a terminal's are LF.
  for (std::size_t i = 0; i < result.meaningText.size(); ++i) {
    if (result.meaningText[i] == '\r' && i + 1 < result.meaningText.size() && result.meaningText[i + 1] == '\n') continue;
    out += result.meaningText[i];
  }
  out += '\n';
  return kExitOk;
}

}  // namespace

int RunDictTool(const std::vector<std::string>& args, std::string& out, std::string& err) {
  if (args.empty()) return Usage(err, "no command given.");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out += kUsage;
    return kExitOk;
  }
  const std::size_t operands = args.size() - 1;
  auto expect = [&](std::size_t n) { return operands == n; };
  if (command == "build") {
    if (!expect(2)) return Usage(err, "build takes a source file and an output file.");
    return Build(args[1], args[2], out, err);
  }
  if (command == "dump" || command == "info" || command == "verify") {
    if (!expect(1)) return Usage(err, command + " takes one dictionary file.");
    const auto dict = OpenOrReport(args[1], err);
    if (!dict) return kExitDictionary;
    if (command == "dump") {
      out += FormatTsv(*dict);
      return kExitOk;
    }
    return command == "info" ? Info(*dict, out) : Verify(*dict, args[1], out, err);
  }
  if (command == "lookup") {
    const bool copied = operands >= 1 && args[1] == "--copied";
    if (!expect(copied ? 3 : 2)) return Usage(err, "lookup takes a dictionary file and a word.");
    const std::string& file = args[copied ? 2 : 1];
    const std::string& word = args[copied ? 3 : 2];
    const auto dict = OpenOrReport(file, err);
    if (!dict) return kExitDictionary;
    return Lookup(*dict, copied ? ResolveCopied(*dict, word).text : word, out);
  }
  return Usage(err, "unknown command '" + command + "'.");
}

}  // namespace kelvara
