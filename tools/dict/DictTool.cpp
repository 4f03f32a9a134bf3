#include "DictTool.h"

#include "ImportCommand.h"
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
    "                         skipped; a CR inside a line is a line break in its cell (dump\n"
    "                         writes multi-line meanings so). The first bad line stops the build;\n"
    "                         OUT.db is then left as it was.\n"
    "  dump DB                print the table as tab-separated text that rebuilds it\n"
    "  info DB                print what the file's header and table hold\n"
    "  verify DB              open the file and check every block and row\n"
    "  lookup DB WORD         look WORD up as the program does: each listed headword on its own\n"
    "                         line, an empty line, then the meaning shown; when nothing matches,\n"
    "                         the suggestions are listed and follow the not-found message\n"
    "  lookup --copied DB TEXT\n"
    "                         look TEXT up as the program does with copied text: a short copy\n"
    "                         is cleaned of blanks and punctuation and taken to its base form\n"
    "  import OUT.db SOURCE...\n"
    "                         make OUT.db from dictionaries: StarDict (.ifo), dictd (.index),\n"
    "                         DSL (.dsl, .dsl.dz), tab-separated (.tsv, .tab) or CSV (.csv).\n"
    "                         Meanings become plain text; a headword in several sources (letter\n"
    "                         case ignored) is one row with each source's text under its name.\n"
    "  import --add DB SOURCE...\n"
    "                         the same, keeping DB's own rows first. Refused while DB is open\n"
    "                         in Kelvara Dictionary. On any error nothing is written.\n"
    "  --help                 this text\n"
    "\n"
    "Files dropped on kelvara-dict.exe (its command line is then only their paths) are added\n"
    "to the Data.db beside it, as import --add does (docs/importing.md).\n"
    "\n"
    "Exit codes: 0 success (lookup also when nothing is found), 1 the dictionary cannot be\n"
    "opened or verify found a problem, 2 wrong usage, 3 a source cannot be read or is bad,\n"
    "4 the output cannot be written (or is open in the program).\n";

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
  if (dict.FormatVersion() >= 2) {
    out += "headword index: " + std::to_string(dict.HeadwordIndexBytes()) + " bytes in " +
           std::to_string(dict.HeadwordBlocks()) + " blocks\n";
  }
  return kExitOk;
}

// Opening checked what it reads (version 1: everything; version 2: the header and directory);
// this reads and checks every block, then every cell against the writer's rules.
int Verify(const Dictionary& dict, const std::string& file, std::string& out, std::string& err) {
  if (std::string problem = dict.CheckAllBlocks(); !problem.empty()) {
    err += "kelvara-dict: " + problem + "\n";
    return kExitDictionary;
  }
  std::size_t problems = 0;
  for (std::size_t row = 0; row < dict.size(); ++row) {
    WordRow cells;
    for (std::size_t c = 0; c < dict.ColumnCount(); ++c) cells.push_back(dict.Cell(row, c).value_or(""));
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

bool IsCommand(const std::string& word) {
  for (const char* c : {"build", "dump", "info", "verify", "lookup", "import", "--help", "-h", "help"}) {
    if (word == c) return true;
  }
  return false;
}

}  // namespace

bool IsDrop(const std::vector<std::string>& args, const ToolHooks& hooks) {
  if (args.empty() || hooks.dropDictionary.empty() || IsCommand(args[0])) return false;
  std::error_code ec;
  return std::filesystem::exists(PathFromUtf8(args[0]), ec);
}

int RunDictTool(const std::vector<std::string>& args, std::string& out, std::string& err,
                const ToolHooks& hooks) {
  if (args.empty()) return Usage(err, "no command given.");
  if (IsDrop(args, hooks)) {
    ImportRequest request{hooks.dropDictionary, {}, true, true};
    for (const std::string& a : args) request.sources.push_back(PathFromUtf8(a));
    return RunImport(request, out, err, hooks);
  }
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
      std::string problem;
      out += FormatTsv(*dict, problem);
      if (!problem.empty()) {
        err += "kelvara-dict: " + args[1] + ": " + problem + ".\n";
        return kExitDictionary;
      }
      return kExitOk;
    }
    return command == "info" ? Info(*dict, out) : Verify(*dict, args[1], out, err);
  }
  if (command == "import") {
    ImportRequest request;
    std::size_t next = 1;
    if (next < args.size() && args[next] == "--add") {
      request.add = true;
      ++next;
    }
    if (args.size() - next < 2) {
      return Usage(err, request.add ? "import --add takes a dictionary file and one or more sources."
                                    : "import takes an output file and one or more sources.");
    }
    request.target = PathFromUtf8(args[next]);
    for (std::size_t i = next + 1; i < args.size(); ++i) request.sources.push_back(PathFromUtf8(args[i]));
    return RunImport(request, out, err, hooks);
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
