#include "Dictd.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "DictData.h"
#include "PlainText.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

// No index line of a real dictionary comes near this; a longer one is damage, and reading it
// whole could take all memory (a 1 GB line).
constexpr std::size_t kMaxLine = 64 * 1024;

struct IndexLine {
  std::string word;
  std::uint64_t offset;
  std::uint64_t length;
  std::size_t line;
};

// dictd's base 64: digits A-Z a-z 0-9 + /, most significant first.
bool DecodeNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > 11) return false;
  value = 0;
  for (const char c : text) {
    int digit;
    if (c >= 'A' && c <= 'Z') digit = c - 'A';
    else if (c >= 'a' && c <= 'z') digit = c - 'a' + 26;
    else if (c >= '0' && c <= '9') digit = c - '0' + 52;
    else if (c == '+') digit = 62;
    else if (c == '/') digit = 63;
    else return false;
    if (value > (UINT64_MAX >> 6)) return false;
    value = value << 6 | static_cast<std::uint64_t>(digit);
  }
  return true;
}

bool IsDatabaseEntry(std::string_view word) {
  return word.starts_with("00-database-") || word.starts_with("00database");
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) utf8::Append(out, static_cast<unsigned char>(c));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view FirstLine(std::string_view s) {
  s = Trim(s);
  return Trim(s.substr(0, std::min(s.find('\n'), s.size())));
}

// Reads the index a block at a time, line by line.
class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}

  // The next line without its LF (and CR) in `line`; false at the end or on error (then
  // `error` is set).
  bool Next(std::string_view& line, std::string& error) {
    for (;;) {
      const std::size_t nl = buffer_.find('\n', start_);
      if (nl != std::string::npos) {
        line = std::string_view(buffer_).substr(start_, nl - start_);
        start_ = nl + 1;
        ++number_;
        if (line.ends_with('\r')) line.remove_suffix(1);
        return Check(line, error);
      }
      if (buffer_.size() - start_ > kMaxLine) return Fail(error);
      if (read_ == source_.size()) {
        if (start_ == buffer_.size()) return false;
        line = std::string_view(buffer_).substr(start_);  // a last line without its LF
        start_ = buffer_.size();
        ++number_;
        return Check(line, error);
      }
      buffer_.erase(0, start_);
      start_ = 0;
      const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(source_.size() - read_, 1 << 20));
      std::string block;
      if (!source_.ReadAt(read_, take, block, error)) return false;
      read_ += take;
      buffer_ += block;
    }
  }

  std::size_t number() const { return number_; }

 private:
  bool Check(std::string_view line, std::string& error) {
    if (line.size() > kMaxLine) return Fail(error);
    return true;
  }
  bool Fail(std::string& error) {
    error = "line " + std::to_string(number_ + 1) + " is longer than " + std::to_string(kMaxLine) +
            " bytes (damaged, or not a dictd index)";
    return false;
  }

  ByteSource& source_;
  std::string buffer_;
  std::size_t start_ = 0;
  std::uint64_t read_ = 0;
  std::size_t number_ = 0;
};

bool ReadCore(const std::string& indexName, const std::string& dictName, ByteSource& indexSource,
              DictData& dict, Source& out, std::string& error, const Progress& progress) {
  std::vector<IndexLine> lines;
  std::vector<IndexLine> database;
  LineReader reader(indexSource);
  std::string_view line;
  std::string why;
  while (reader.Next(line, why)) {
    // Made only for a message: building it for every line cost more than reading the line.
    const auto where = [&] { return indexName + ": line " + std::to_string(reader.number()); };
    if (line.empty()) continue;
    std::string_view fields[4];
    std::size_t count = 0;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      // Without a tab, npos - from still reaches past the end: substr takes the rest.
      if (count < 4) fields[count] = line.substr(from, tab - from);
      ++count;
      if (tab == std::string_view::npos) break;
      from = tab + 1;
    }
    if (count < 3 || count > 4) {
      error = where() + ": expected a headword, an offset and a length separated by tabs";
      return false;
    }
    IndexLine entry{std::string(count == 4 ? fields[3] : fields[0]), 0, 0, reader.number()};
    if (!DecodeNumber(fields[1], entry.offset) || !DecodeNumber(fields[2], entry.length)) {
      error = where() + " (" + QuoteWord(fields[0]) + "): the offset " + QuoteWord(fields[1]) +
              " or the length " + QuoteWord(fields[2]) + " is not a base 64 number";
      return false;
    }
    if (entry.offset > dict.size() || entry.length > dict.size() - entry.offset) {
      error = where() + " (" + QuoteWord(fields[0]) + "): its definition, " +
              std::to_string(entry.length) + " bytes at offset " + std::to_string(entry.offset) +
              ", lies past the end of " + dictName + " (" + std::to_string(dict.size()) + " bytes)";
      return false;
    }
    (IsDatabaseEntry(fields[0]) ? database : lines).push_back(std::move(entry));
  }
  if (!why.empty()) {
    error = indexName + ": " + why;
    return false;
  }
  if (lines.empty() && database.empty()) {
    error = indexName + ": it lists no headwords (empty, or not a dictd index)";
    return false;
  }
  const bool utf8Dictionary = std::any_of(database.begin(), database.end(), [](const IndexLine& e) {
    return e.word == "00-database-utf8" || e.word == "00databaseutf8";
  });

  // Definitions in file order, so that a .dict.dz unpacks each chunk once.
  std::vector<std::uint32_t> order(lines.size());
  {
    // (offset, line) pairs sort without reaching into the lines; equal offsets keep index order.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byOffset(lines.size());
    for (std::uint32_t i = 0; i < lines.size(); ++i) byOffset[i] = {lines[i].offset, i};
    std::sort(byOffset.begin(), byOffset.end());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = byOffset[i].second;
  }
  out.entries.clear();
  out.entries.Resize(lines.size());
  std::string text, word, meaning;
  std::uint64_t done = 0;
  const auto readRaw = [&](const IndexLine& e, std::string& into) {
    if (!dict.Read(e.offset, e.length, into, why)) {
      error = dictName + ": the definition of " + QuoteWord(e.word) + " (" + indexName + " line " +
              std::to_string(e.line) + "): " + why;
      return false;
    }
    return true;
  };
  // Text that is not UTF-8 is Latin-1, unless the dictionary says it is UTF-8.
  const auto toUtf8 = [&](const IndexLine& e, std::string& into) {
    if (!utf8::IsValid(into)) {
      if (utf8Dictionary) {
        error = dictName + ": the definition of " + QuoteWord(e.word) + " (" + indexName +
                " line " + std::to_string(e.line) + ", offset " + std::to_string(e.offset) +
                ") is not valid UTF-8, though the dictionary says it is (00-database-utf8)";
        return false;
      }
      into = Latin1ToUtf8(into);
    }
    return true;
  };
  // Every meaning checked here as the writer checks a cell spares the merge scanning them again.
  bool sound = true;
  for (std::size_t k = 0; k < order.size(); ++k) {
    // The lines are taken in the definitions' order, scattered in memory: each is fetched a few
    // definitions early, so that waiting for it overlaps the work on the ones before.
    if (k + 8 < order.size()) __builtin_prefetch(&lines[order[k + 8]]);
    const std::uint32_t i = order[k];
    IndexLine& e = lines[i];
    if (!readRaw(e, text)) return false;
    // Tidying changes only blanks and line breaks, so the text is UTF-8 exactly when its tidied
    // form is, and a sound tidied form (the usual case) proves both at one pass.
    TidyPlainText(text, meaning);
    bool meaningSound = CellIsSound(meaning, false);
    if (!meaningSound && !utf8::IsValid(text)) {
      if (!toUtf8(e, text)) return false;
      TidyPlainText(text, meaning);
      meaningSound = CellIsSound(meaning, false);
    }
    sound = sound && meaningSound;
    std::string_view headword = e.word;
    if (!utf8::IsValid(headword)) {
      if (utf8Dictionary) {
        error = indexName + ": line " + std::to_string(e.line) + ": the headword " +
                QuoteWord(e.word) + " is not valid UTF-8";
        return false;
      }
      word = Latin1ToUtf8(e.word);
      headword = word;
    }
    if (headword.empty()) headword = FirstLine(text);
    if (headword.empty()) {
      error = indexName + ": line " + std::to_string(e.line) +
              ": the headword is empty and so is its definition's first line";
      return false;
    }
    out.entries.Set(i, headword, meaning);
    std::string().swap(e.word);
    if (progress && ++done % 4096 == 0) progress(done, lines.size());
  }

  out.name.clear();
  for (const IndexLine& e : database) {
    if (e.word != "00-database-short" && e.word != "00databaseshort") continue;
    if (!readRaw(e, text) || !toUtf8(e, text)) return false;
    // dictd's way: the headword line, if the text begins with it, is not part of the name.
    std::string_view name = Trim(text);
    for (const std::string_view head : {"00-database-short", "00databaseshort"}) {
      if (name.starts_with(head)) name = Trim(name.substr(head.size()));
    }
    out.name = std::string(FirstLine(name));
  }
  out.meaningsSound = sound;
  if (progress) progress(lines.size(), lines.size());
  return true;
}

}  // namespace

bool ReadDictd(const std::filesystem::path& indexFile, Source& out, std::string& error,
               const Progress& progress) {
  const std::string indexName = DisplayName(indexFile);
  std::filesystem::path base = indexFile;
  base.replace_extension();
  const auto dictFile = FindBeside(base, {".dict", ".dict.dz"});
  if (!dictFile) {
    error = indexName + ": its definitions " + DisplayName(std::filesystem::path(base) += ".dict") +
            " (or .dict.dz) are missing";
    return false;
  }
  const std::string dictName = DisplayName(*dictFile);
  std::string why;
  FileSource index;
  if (!index.Open(indexFile, why)) {
    error = indexName + ": " + why;
    return false;
  }
  auto source = std::make_unique<FileSource>();
  DictData dict;
  if (!source->Open(*dictFile, why) || !dict.Open(std::move(source), why)) {
    error = dictName + ": " + why;
    return false;
  }
  // Definitions are taken by offset: the chunks unpack on a second thread meanwhile.
  dict.ReadAhead();
  if (!ReadCore(indexName, dictName, index, dict, out, error, progress)) return false;
  if (out.name.empty()) out.name = DisplayName(base.filename());
  return true;
}

bool ReadDictdBytes(std::string_view index, std::string_view dict, Source& out, std::string& error) {
  MemorySource indexSource(index);
  DictData data;
  std::string why;
  if (!data.Open(std::make_unique<MemorySource>(dict), why)) {
    error = "the .dict: " + why;
    return false;
  }
  return ReadCore("the .index", "the .dict", indexSource, data, out, error, {});
}

}  // namespace kelvara::import
