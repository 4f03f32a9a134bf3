#include "StarDict.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <numeric>
#include <vector>

#include "DictData.h"
#include "Gzip.h"
#include "PlainText.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

constexpr std::uint64_t kMaxIfoSize = 1 << 20;
constexpr std::uint64_t kMaxIndexSize = std::uint64_t{4} << 30;
// The format asks for headwords under 256 bytes; longer ones occur, a runaway one is damage.
constexpr std::size_t kMaxWordSize = 64 * 1024;

struct IndexEntry {
  std::string_view word;
  std::uint64_t offset;
  std::uint32_t size;
};

std::uint32_t Be32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

bool ParseCount(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

struct Ifo {
  std::string bookname;
  std::uint64_t wordcount = 0;
  std::optional<std::uint64_t> synwordcount;
  std::uint64_t idxfilesize = 0;
  int offsetBits = 32;
  std::string sameTypes;
};

bool ParseIfo(const std::string& name, std::string_view text, Ifo& ifo, std::string& error) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::map<std::string, std::string, std::less<>> keys;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (first) {
      if (line != "StarDict's dict ifo file") {
        error = name + ": not a StarDict .ifo file (its first line is not \"StarDict's dict ifo file\")";
        return false;
      }
      first = false;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;  // blank lines and stray text say nothing
    keys[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));  // the last says
  }
  if (first) {
    error = name + ": not a StarDict .ifo file (it is empty)";
    return false;
  }
  const auto number = [&](const char* key, std::uint64_t& value, bool required) {
    const auto it = keys.find(key);
    if (it == keys.end()) {
      if (required) error = name + ": the key " + key + " is missing";
      return !required;
    }
    if (!ParseCount(it->second, value)) {
      error = name + ": " + key + "=" + QuoteWord(it->second) + " is not a number";
      return false;
    }
    return true;
  };
  if (!number("wordcount", ifo.wordcount, true) || !number("idxfilesize", ifo.idxfilesize, true)) {
    return false;
  }
  if (keys.contains("synwordcount")) {
    std::uint64_t count = 0;
    if (!number("synwordcount", count, true)) return false;
    ifo.synwordcount = count;
  }
  if (const auto it = keys.find("idxoffsetbits"); it != keys.end()) {
    if (it->second != "32" && it->second != "64") {
      error = name + ": idxoffsetbits=" + QuoteWord(it->second) + " (only 32 and 64 exist)";
      return false;
    }
    ifo.offsetBits = it->second == "64" ? 64 : 32;
  }
  if (const auto it = keys.find("sametypesequence"); it != keys.end()) {
    ifo.sameTypes = it->second;
    const bool letters = std::all_of(ifo.sameTypes.begin(), ifo.sameTypes.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    if (!letters) {
      error = name + ": sametypesequence=" + QuoteWord(it->second) + " holds something other than type letters";
      return false;
    }
  }
  if (const auto it = keys.find("bookname"); it != keys.end()) ifo.bookname = it->second;
  return true;
}

// One field of an entry: its type letter and its bytes.
struct Field {
  char type;
  std::string_view data;
};

// Splits an entry's data into its fields, as sametypesequence or the per-entry type letters say.
bool SplitFields(std::string_view data, std::string_view sameTypes, std::vector<Field>& fields,
                 std::string& why) {
  fields.clear();
  const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  if (!sameTypes.empty()) {
    for (std::size_t t = 0; t < sameTypes.size(); ++t) {
      const char type = sameTypes[t];
      const bool last = t + 1 == sameTypes.size();
      if (last) {  // the last field has neither terminator nor size: it takes the rest
        std::string_view rest = data;
        if (lower(type)) {
          while (rest.ends_with('\0')) rest.remove_suffix(1);
        }
        fields.push_back({type, rest});
        return true;
      }
      if (lower(type)) {
        const std::size_t end = data.find('\0');
        if (end == std::string_view::npos) {
          why = "field " + std::to_string(t + 1) + " (type " + type + ") has no terminating NUL";
          return false;
        }
        fields.push_back({type, data.substr(0, end)});
        data.remove_prefix(end + 1);
      } else {
        if (data.size() < 4 || data.size() - 4 < Be32(data, 0)) {
          why = "field " + std::to_string(t + 1) + " (type " + type + ") runs past the entry's end";
          return false;
        }
        const std::uint32_t size = Be32(data, 0);
        fields.push_back({type, data.substr(4, size)});
        data.remove_prefix(4 + std::size_t{size});
      }
    }
    return true;
  }
  while (!data.empty()) {
    const char type = data[0];
    data.remove_prefix(1);
    if (lower(type)) {
      const std::size_t end = std::min(data.find('\0'), data.size());
      fields.push_back({type, data.substr(0, end)});
      data.remove_prefix(std::min(end + 1, data.size()));
    } else if (type >= 'A' && type <= 'Z') {
      if (data.size() < 4 || data.size() - 4 < Be32(data, 0)) {
        why = std::string("a field of type ") + type + " runs past the entry's end";
        return false;
      }
      const std::uint32_t size = Be32(data, 0);
      fields.push_back({type, data.substr(4, size)});
      data.remove_prefix(4 + std::size_t{size});
    } else {
      why = "a field has the type byte " + std::to_string(static_cast<unsigned char>(type)) +
            ", which is no type letter";
      return false;
    }
  }
  return true;
}

// An entry's plain text: its text fields in order, one after another on lines of their own.
bool EntryText(std::string_view data, std::string_view sameTypes, std::vector<Field>& fields,
               std::string& text, std::string& why) {
  text.clear();
  if (!SplitFields(data, sameTypes, fields, why)) return false;
  for (const Field& field : fields) {
    std::string part;
    switch (field.type) {
      case 'h': part = MarkupToPlainText(field.data, Markup::kHtml); break;
      case 'g': part = MarkupToPlainText(field.data, Markup::kPango); break;
      case 'x':
      case 'k': part = MarkupToPlainText(field.data, Markup::kXdxf); break;
      case 't': part = "[" + TidyPlainText(field.data) + "]"; break;  // phonetic transcription
      case 'r': continue;  // a list of resource files (pictures, sounds)
      default:
        if (field.type < 'a' || field.type > 'z') continue;  // binary: sounds, pictures, ...
        part = TidyPlainText(field.data);  // m, l, y, w, n and letters yet to come: text
    }
    if (const std::size_t bad = utf8::FindInvalid(part); bad != std::string::npos) {
      if (field.type != 'l') {  // 'l' is the locale's encoding: a stray byte is no damage there
        why = std::string("its text (type ") + field.type + ") is not valid UTF-8";
        return false;
      }
      std::string clean;
      for (std::size_t i = 0; i < part.size();) {
        char32_t cp;
        i += utf8::DecodeLenient(part.data() + i, part.data() + part.size(), &cp);
        utf8::Append(clean, cp);
      }
      part = std::move(clean);
    }
    if (part.empty() || part == "[]") continue;
    if (!text.empty()) text += "\r\n";
    text += part;
  }
  return true;
}

struct Names {
  std::string ifo, idx, dict, syn;
};

bool ReadCore(const Names& names, std::string_view ifoText, std::string_view idx,
              const std::optional<std::string_view>& syn, DictData& dict, Source& out,
              std::string& error, const Progress& progress) {
  Ifo ifo;
  if (!ParseIfo(names.ifo, ifoText, ifo, error)) return false;
  if (idx.size() != ifo.idxfilesize) {
    error = names.idx + ": it holds " + std::to_string(idx.size()) + " bytes, but " + names.ifo +
            " says idxfilesize=" + std::to_string(ifo.idxfilesize);
    return false;
  }
  if (ifo.synwordcount.value_or(0) > 0 && !syn) {
    error = names.ifo + ": it declares synwordcount=" + std::to_string(*ifo.synwordcount) +
            ", but the synonyms file " + names.syn + " is missing";
    return false;
  }
  // Each index entry is at least a NUL and the offset and size: more headwords than that
  // cannot be, whatever wordcount says.
  const std::size_t offsetSize = ifo.offsetBits / 8;
  const std::size_t minEntry = 1 + offsetSize + 4;
  if (ifo.wordcount > idx.size() / minEntry) {
    error = names.ifo + ": wordcount=" + std::to_string(ifo.wordcount) + " is more than " +
            names.idx + " can hold (" + std::to_string(idx.size()) + " bytes)";
    return false;
  }
  std::vector<IndexEntry> index;
  index.reserve(static_cast<std::size_t>(ifo.wordcount));
  for (std::size_t at = 0; at < idx.size();) {
    const std::size_t nul = idx.find('\0', at);
    const std::string entryName = "entry " + std::to_string(index.size() + 1);
    if (nul == std::string_view::npos || nul - at > kMaxWordSize) {
      error = names.idx + ": " + entryName + " at offset " + std::to_string(at) +
              (nul == std::string_view::npos ? ": the headword has no terminating NUL (truncated?)"
                                             : ": the headword is longer than " +
                                                   std::to_string(kMaxWordSize) + " bytes");
      return false;
    }
    const std::string_view word = idx.substr(at, nul - at);
    if (idx.size() - (nul + 1) < offsetSize + 4) {
      error = names.idx + ": " + entryName + " (" + QuoteWord(word) + ") at offset " +
              std::to_string(at) + " is truncated";
      return false;
    }
    std::uint64_t offset = Be32(idx, nul + 1);
    if (offsetSize == 8) offset = offset << 32 | Be32(idx, nul + 5);
    const std::uint32_t size = Be32(idx, nul + 1 + offsetSize);
    if (word.empty() || !utf8::IsValid(word)) {
      error = names.idx + ": " + entryName + " at offset " + std::to_string(at) +
              (word.empty() ? ": the headword is empty" : ": the headword " + QuoteWord(word) +
                                                              " is not valid UTF-8");
      return false;
    }
    if (offset > dict.size() || size > dict.size() - offset) {
      error = names.idx + ": " + entryName + " (" + QuoteWord(word) + ") points at " +
              std::to_string(size) + " bytes at offset " + std::to_string(offset) + ", past the end of " +
              names.dict + " (" + std::to_string(dict.size()) + " bytes)";
      return false;
    }
    index.push_back({word, offset, size});
    at = nul + 1 + offsetSize + 4;
  }
  if (index.size() != ifo.wordcount) {
    error = names.ifo + ": wordcount=" + std::to_string(ifo.wordcount) + ", but " + names.idx +
            " holds " + std::to_string(index.size()) + " headwords";
    return false;
  }

  // Synonyms: a headword and the number of the index entry whose meaning it shares.
  std::vector<std::pair<std::string_view, std::uint32_t>> synonyms;
  if (syn) {
    const std::string_view s = *syn;
    for (std::size_t at = 0; at < s.size();) {
      const std::size_t nul = s.find('\0', at);
      const std::string entryName = "synonym " + std::to_string(synonyms.size() + 1);
      if (nul == std::string_view::npos || nul - at > kMaxWordSize || s.size() - (nul + 1) < 4) {
        error = names.syn + ": " + entryName + " at offset " + std::to_string(at) + " is truncated";
        return false;
      }
      const std::string_view word = s.substr(at, nul - at);
      const std::uint32_t target = Be32(s, nul + 1);
      if (word.empty() || !utf8::IsValid(word)) {
        error = names.syn + ": " + entryName + " at offset " + std::to_string(at) +
                (word.empty() ? ": the word is empty" : ": the word " + QuoteWord(word) + " is not valid UTF-8");
        return false;
      }
      if (target >= index.size()) {
        error = names.syn + ": " + entryName + " (" + QuoteWord(word) + ") points at headword " +
                std::to_string(std::uint64_t{target} + 1) + ", but " + names.idx + " holds only " +
                std::to_string(index.size());
        return false;
      }
      synonyms.emplace_back(word, target);
      at = nul + 5;
    }
    if (ifo.synwordcount && synonyms.size() != *ifo.synwordcount) {
      error = names.ifo + ": synwordcount=" + std::to_string(*ifo.synwordcount) + ", but " +
              names.syn + " holds " + std::to_string(synonyms.size()) + " synonyms";
      return false;
    }
  }

  const std::uint64_t total = index.size() + synonyms.size();
  out.entries.clear();
  out.entries.Reserve(index.size() + synonyms.size());
  out.entries.Resize(index.size());
  // Data is read in file order, so that a .dict.dz unpacks each chunk once.
  std::vector<std::uint32_t> order(index.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return index[a].offset < index[b].offset; });
  std::string data, why, meaning;
  std::vector<Field> fields;
  std::uint64_t done = 0;
  for (const std::uint32_t i : order) {
    const IndexEntry& e = index[i];
    if (!dict.Read(e.offset, e.size, data, why)) {
      error = names.dict + ": headword " + QuoteWord(e.word) + " (entry " + std::to_string(i + 1) +
              "): " + why;
      return false;
    }
    if (!EntryText(data, ifo.sameTypes, fields, meaning, why)) {
      error = names.dict + ": the data of headword " + QuoteWord(e.word) + " (entry " +
              std::to_string(i + 1) + ", offset " + std::to_string(e.offset) + "): " + why;
      return false;
    }
    out.entries.Set(i, e.word, meaning);
    if (progress && ++done % 4096 == 0) progress(done, total);
  }
  for (const auto& [word, target] : synonyms) out.entries.AddSharingMeaning(word, target);
  out.name = ifo.bookname;
  if (progress) progress(total, total);
  return true;
}

}  // namespace

bool ReadStarDict(const std::filesystem::path& ifoFile, Source& out, std::string& error,
                  const Progress& progress) {
  std::filesystem::path base = ifoFile;
  base.replace_extension();
  Names names;
  names.ifo = DisplayName(ifoFile);
  std::string ifoText, why;
  if (!ReadWholeFile(ifoFile, ifoText, why, kMaxIfoSize)) {
    error = names.ifo + ": " + why;
    return false;
  }
  const auto idxFile = FindBeside(base, {".idx", ".idx.gz"});
  const auto dictFile = FindBeside(base, {".dict", ".dict.dz"});
  const auto synFile = FindBeside(base, {".syn"});
  names.idx = DisplayName(idxFile ? *idxFile : std::filesystem::path(base) += ".idx");
  names.dict = DisplayName(dictFile ? *dictFile : std::filesystem::path(base) += ".dict");
  names.syn = DisplayName(synFile ? *synFile : std::filesystem::path(base) += ".syn");
  if (!idxFile) {
    error = names.ifo + ": its index " + names.idx + " (or .idx.gz) is missing";
    return false;
  }
  if (!dictFile) {
    error = names.ifo + ": its definitions " + names.dict + " (or .dict.dz) are missing";
    return false;
  }
  // What the .ifo says of the index bounds what is read of it: a lying or damaged index is
  // refused before it can fill memory.
  Ifo ifo;
  if (!ParseIfo(names.ifo, ifoText, ifo, error)) return false;
  const std::uint64_t idxLimit = std::min(ifo.idxfilesize, kMaxIndexSize);
  std::string idx;
  // (gzip may add a little to a tiny index)
  if (!ReadWholeFile(*idxFile, idx, why, idxLimit + 65536)) {
    error = names.idx + ": " + why + " (" + names.ifo + " says idxfilesize=" +
            std::to_string(ifo.idxfilesize) + ")";
    return false;
  }
  if (LooksGzipped(idx)) {
    std::string unpacked;
    if (!GunzipWhole(idx, unpacked, why, idxLimit + 1)) {
      error = names.idx + ": " + why;
      return false;
    }
    idx = std::move(unpacked);
  }
  std::optional<std::string> synText;
  if (synFile) {
    synText.emplace();
    if (!ReadWholeFile(*synFile, *synText, why, kMaxIndexSize)) {
      error = names.syn + ": " + why;
      return false;
    }
  }
  auto source = std::make_unique<FileSource>();
  DictData dict;
  if (!source->Open(*dictFile, why) || !dict.Open(std::move(source), why)) {
    error = names.dict + ": " + why;
    return false;
  }
  // Definitions are taken by offset: the chunks unpack on a second thread meanwhile.
  dict.ReadAhead();
  std::optional<std::string_view> syn;
  if (synText) syn = *synText;
  if (!ReadCore(names, ifoText, idx, syn, dict, out, error, progress)) return false;
  if (out.name.empty()) out.name = DisplayName(base.filename());
  return true;
}

bool ReadStarDictBytes(const StarDictBytes& files, Source& out, std::string& error) {
  const Names names{"the .ifo", "the .idx", "the .dict", "the .syn"};
  std::string why, idx;
  if (LooksGzipped(files.idx)) {
    if (!GunzipWhole(files.idx, idx, why, 64u << 20)) {
      error = names.idx + ": " + why;
      return false;
    }
  } else {
    idx.assign(files.idx);
  }
  DictData dict;
  if (!dict.Open(std::make_unique<MemorySource>(files.dict), why)) {
    error = names.dict + ": " + why;
    return false;
  }
  return ReadCore(names, files.ifo, idx, files.syn, dict, out, error, {});
}

}  // namespace kelvara::import
