#include "Dsl.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "Gzip.h"
#include "TextLines.h"

namespace kelvara::import {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Removes {{comments}}, which may run over several lines (`inComment` carries that), leaving
// escaped braces alone. Most lines have none and are left as they are.
void StripComments(std::string& line, bool& inComment) {
  if (!inComment && line.find("{{") == std::string::npos) return;
  std::string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool pair = i + 1 < line.size() && line[i + 1] == line[i];
    if (inComment) {
      if (line[i] == '}' && pair) {
        inComment = false;
        ++i;
      }
      continue;
    }
    if (line[i] == '\\' && i + 1 < line.size()) {
      out += line[i];
      out += line[++i];
    } else if (line[i] == '{' && pair) {
      inComment = true;
      ++i;
    } else {
      out += line[i];
    }
  }
  line = std::move(out);
}

// A tag's name: letters, digits and the marks DSL uses in names ([*], ['], [!trs]). Anything else
// in brackets is text that happens to be bracketed.
bool IsTagName(std::string_view name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '*' || c == '\'' || c == '!' || c == '_';
  });
}

// Where the unescaped `close` after `from` is, or npos.
std::size_t FindUnescaped(std::string_view s, char close, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == close) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The characters a body's markup begins with.
bool IsSpecial(char c) { return c == '\\' || c == '~' || c == '<' || c == '>' || c == '['; }

// Tags whose contents are the names of resource files (pictures, sounds, films), not text.
bool DropsContents(std::string_view name) { return name == "s" || name == "video"; }

}  // namespace

std::string DslHeadword(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  int unsorted = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      if (unsorted == 0) out += line[i + 1];
      ++i;
    } else if (c == '{') {
      ++unsorted;
    } else if (c == '}' && unsorted > 0) {
      --unsorted;
    } else if (unsorted == 0) {
      // Blanks collapse: leaving out an unsorted part must not leave a double space.
      if (IsBlank(c)) {
        if (!out.empty() && out.back() != ' ') out += ' ';
      } else {
        out += c;
      }
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string DslBodyToText(std::string_view line, std::string_view headword, int* indent) {
  std::string out;
  out.reserve(line.size());
  if (indent) *indent = 0;
  int openReferences = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    // Plain runs in one append: most of a body is text.
    std::size_t plainEnd = i;
    while (plainEnd < line.size() && !IsSpecial(line[plainEnd])) ++plainEnd;
    if (plainEnd != i) {
      out.append(line.substr(i, plainEnd - i));
      i = plainEnd;
      if (i >= line.size()) break;
    }
    const char c = line[i];
    if (c == '\\') {
      if (i + 1 < line.size()) out += line[++i];
    } else if (c == '~') {
      out += headword;
    } else if (c == '<' && i + 1 < line.size() && line[i + 1] == '<' &&
               line.find(">>", i + 2) != std::string_view::npos) {
      i += 1;  // a reference: its text stays, the marks go
      ++openReferences;
    } else if (c == '>' && i + 1 < line.size() && line[i + 1] == '>' && openReferences > 0) {
      i += 1;
      --openReferences;
    } else if (c == '[') {
      const std::size_t close = FindUnescaped(line, ']', i + 1);
      if (close == std::string_view::npos) {
        out += c;
        continue;
      }
      std::string_view tag = line.substr(i + 1, close - i - 1);
      const bool closing = !tag.empty() && tag.front() == '/';
      if (closing) tag.remove_prefix(1);
      const std::string_view name = tag.substr(0, tag.find(' '));
      if (!IsTagName(name)) {
        out += c;  // bracketed text, not a tag
        continue;
      }
      i = close;
      if (!closing && name.size() >= 1 && name[0] == 'm' &&
          std::all_of(name.begin() + 1, name.end(), [](char d) { return d >= '0' && d <= '9'; })) {
        if (indent && Trim(out).empty()) *indent = name.size() == 1 ? 1 : std::min(9, std::stoi(std::string(name.substr(1, 2))));
      } else if (!closing && DropsContents(name)) {
        const std::string closer = "[/" + std::string(name) + "]";
        const std::size_t stop = line.find(closer, close + 1);
        i = stop == std::string_view::npos ? line.size() : stop + closer.size() - 1;
      }
    } else {
      out += c;
    }
  }
  const std::string_view kept = Trim(out);
  if (kept.size() != out.size()) out = std::string(kept);
  return out;
}

namespace {

bool ParseLines(TextLines& lines, const std::string& name, Source& out, std::string& error,
                const Progress& progress) {
  out.name.clear();
  out.entries.clear();
  std::vector<std::string> headwords;
  std::string body;
  bool inBody = false, inComment = false, cardsStarted = false;
  auto flush = [&] {
    // The card's headwords share one copy of its text.
    const std::size_t first = out.entries.size();
    for (std::size_t h = 0; h < headwords.size(); ++h) {
      if (h == 0) out.entries.Add(headwords[h], body);
      else out.entries.AddSharingMeaning(headwords[h], first);
    }
    headwords.clear();
    body.clear();
    inBody = false;
  };

  std::string raw;
  while (lines.Next(raw)) {
    if (progress && lines.lineNumber() % 4096 == 0) progress(lines.bytesDone(), lines.bytesTotal());
    StripComments(raw, inComment);
    const std::string& line = raw;
    if (line.empty()) continue;
    if (!cardsStarted && line[0] == '#') {
      const std::string_view header(line);
      const std::size_t space = header.find_first_of(" \t");
      const std::string_view key = header.substr(0, space);
      std::string_view value = space == std::string_view::npos ? std::string_view() : Trim(header.substr(space));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      // The languages and code page say nothing the import needs: text is UTF-8 or UTF-16 and
      // every headword is imported whatever its language.
      if (key == "#NAME") out.name = DslHeadword(value);
      continue;
    }
    if (IsBlank(line[0])) {
      if (Trim(line).empty() || headwords.empty()) continue;  // a blank line, or text before any card
      std::string_view text = Trim(line);
      // A subentry's marks (`@ headword` ... `@`) kept as lines of the card.
      if (text.front() == '@') text = Trim(text.substr(1));
      int indent = 0;
      const std::string plain = DslBodyToText(text, headwords.front(), &indent);
      if (plain.empty()) {
        inBody = true;
        continue;
      }
      if (!body.empty()) body += "\r\n";
      body.append(static_cast<std::size_t>(indent) * 2, ' ');
      body += plain;
      inBody = true;
      continue;
    }
    if (inBody) flush();
    cardsStarted = true;
    headwords.push_back(DslHeadword(line));
  }
  if (!lines.ok()) {
    error = lines.error();
    out.entries.clear();
    return false;
  }
  if (!headwords.empty()) flush();
  if (out.entries.empty()) {
    error = name + ": no cards (headword lines followed by indented text); is it a DSL file?";
    return false;
  }
  if (out.name.empty()) out.name = name;
  if (progress) progress(lines.bytesTotal(), lines.bytesTotal());
  return true;
}

}  // namespace

bool ParseDsl(std::string_view bytes, const std::string& name, Source& out, std::string& error,
              const Progress& progress) {
  TextLines lines(bytes, name);
  return ParseLines(lines, name, out, error, progress);
}

bool ReadDsl(const std::filesystem::path& file, Source& out, std::string& error,
             const Progress& progress) {
  const std::u8string u8 = file.u8string();
  const std::string name(u8.begin(), u8.end());
  std::string stem(reinterpret_cast<const char*>(file.filename().u8string().c_str()));
  const bool packed = stem.ends_with(".dz");
  for (const char* ext : {".dz", ".dsl"}) {
    if (stem.size() > std::string_view(ext).size() && stem.ends_with(ext)) stem.resize(stem.size() - std::string_view(ext).size());
  }
  auto finish = [&](TextLines& lines) {
    if (!ParseLines(lines, name, out, error, progress)) return false;
    if (out.name == name) out.name = stem;  // no #NAME: the file's own name, without the folders
    return true;
  };
  if (!packed) {
    TextLines lines(file, name);
    if (!lines.ok()) {
      error = lines.error();
      return false;
    }
    return finish(lines);
  }

  auto source = std::make_unique<FileSource>();
  std::string why;
  if (!source->Open(file, why)) {
    error = "cannot open " + name + ": " + why;
    return false;
  }
  // dictzip (what .dsl.dz files are) is read a chunk at a time; plain gzip is unpacked whole.
  auto reader = std::make_shared<DictzipReader>();
  if (reader->Open(std::move(source), why)) {
    std::uint64_t offset = 0;
    TextLines lines(
        [reader, offset, name](std::string& chunk, std::size_t want, std::string& problem) mutable {
          if (offset >= reader->size()) return false;
          const std::uint64_t n = std::min<std::uint64_t>(want, reader->size() - offset);
          std::string piece;
          if (!reader->Read(offset, n, piece, problem)) {
            problem = name + ": " + problem;
            return false;
          }
          offset += n;
          chunk += piece;
          return true;
        },
        reader->size(), name);
    return finish(lines);
  }
  std::ifstream in(file, std::ios::binary);
  const std::string compressed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    error = "cannot read " + name + ".";
    return false;
  }
  std::string text;
  if (!GunzipWhole(compressed, text, why, std::uint64_t{1} << 31)) {
    error = name + ": " + why;
    return false;
  }
  TextLines lines(std::string_view(text), name);
  return finish(lines);
}

}  // namespace kelvara::import
