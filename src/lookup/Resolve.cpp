#include "Resolve.h"

#include <algorithm>

#include "CaseFold.h"
#include "IrregularForms.h"
#include "Utf8.h"

namespace kelvara {
namespace {

// Stands where a word was split across lines by a hyphen: joined or kept as a hyphen later.
constexpr char32_t kJoin = 0xE000;

bool IsLineBreak(char32_t c) {
  return c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Blanks of every width, on one line.
bool IsBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

// Characters that show nothing: zero-width spaces and joiners, the byte order mark, the soft
// hyphen, direction marks and embeddings (text copied from right-to-left pages carries them).
bool IsInvisible(char32_t c) {
  return c == 0xAD || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

bool IsWhite(char32_t c) { return IsBlank(c) || IsLineBreak(c) || IsInvisible(c); }

bool IsPunctuation(char32_t c) {
  if (c < 0x80) return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
  return c == 0xA1 || c == 0xA7 || c == 0xAB || c == 0xB6 || c == 0xB7 || c == 0xBB || c == 0xBF ||
         (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205E) || (c >= 0x2E00 && c <= 0x2E4F) ||
         c == 0x060C || c == 0x061B || c == 0x061F || (c >= 0x066A && c <= 0x066D) || c == 0x06D4 ||
         (c >= 0x3001 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) || (c >= 0xFF01 && c <= 0xFF0F) ||
         (c >= 0xFF1A && c <= 0xFF20);
}

bool IsApostrophe(char32_t c) { return c == 0x2019 || c == 0x2018 || c == 0x02BC || c == 0xFF07; }
bool IsHyphen(char32_t c) { return c == '-' || c == 0x2010 || c == 0x2011 || c == 0xAD; }
bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= 0xC0 && !IsPunctuation(c) && !IsWhite(c) && c != kJoin && c != 0xD7 && c != 0xF7);
}

std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    char32_t cp;
    p += utf8::DecodeLenient(p, end, &cp);
    out.push_back(cp);
  }
  return out;
}

std::string Encode(std::u32string_view text, bool joinWithHyphen) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c == kJoin) {
      if (joinWithHyphen) out.push_back('-');
    } else {
      utf8::Append(out, c);
    }
  }
  return out;
}

// The copy on one line: typographic apostrophes as ', invisible characters gone, runs of blanks
// as one blank, a hyphen that ends a line between two letters as kJoin. Sets `otherBreak` when a
// line break remains that splits no word.
std::u32string Normalize(std::u32string_view in, bool& otherBreak) {
  std::u32string out;
  out.reserve(in.size());
  otherBreak = false;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char32_t c = in[i];
    if (IsHyphen(c) && !out.empty() && IsLetter(out.back())) {
      std::size_t j = i + 1;
      while (j < in.size() && (IsBlank(in[j]) || IsInvisible(in[j]))) ++j;
      const std::size_t breakAt = j;
      if (j < in.size() && in[j] == '\r') ++j;
      if (j < in.size() && IsLineBreak(in[j]) && (j == breakAt || in[j] == '\n')) ++j;
      if (j > breakAt) {
        while (j < in.size() && (IsBlank(in[j]) || IsInvisible(in[j]))) ++j;
        if (j < in.size() && IsLetter(in[j])) {
          out.push_back(kJoin);
          i = j - 1;
          continue;
        }
      }
    }
    if (IsApostrophe(c)) {
      out.push_back('\'');
    } else if (IsLineBreak(c)) {
      otherBreak = true;
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else if (IsInvisible(c)) {
      // nothing to see, nothing to keep
    } else if (IsBlank(c)) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else if (c == 0x2010 || c == 0x2011) {
      out.push_back('-');
    } else {
      out.push_back(c);
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::size_t CountWords(std::u32string_view text) {
  std::size_t words = 0;
  bool inWord = false;
  for (char32_t c : text) {
    if (c == ' ') {
      inWord = false;
    } else if (!inWord) {
      inWord = true;
      ++words;
    }
  }
  return words;
}

std::string AsciiLower(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

bool IsVowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }
bool IsConsonant(char c) { return c >= 'a' && c <= 'z' && !IsVowel(c); }

bool EndsInDoubledConsonant(std::string_view s) {
  const std::size_t n = s.size();
  return n >= 3 && s[n - 1] == s[n - 2] && IsConsonant(s[n - 1]);
}

void Add(std::vector<std::string>& out, std::string candidate) {
  if (candidate.size() < 2) return;
  if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(std::move(candidate));
}

// -ed, -ing, -er, -est: the stem with an e first, then the stem, then the stem with its doubled
// consonant single. English drops a final e before these endings, so where the stem with an e is
// a headword it is nearly always the base: hoped, used, cared, pasted, breathing (not hop, us,
// car, past, breath); where it is not, the stem is (wanted, opened).
void AddStemCandidates(std::vector<std::string>& out, const std::string& stem) {
  if (stem.size() < 2) return;
  Add(out, stem + "e");
  Add(out, stem);
  if (EndsInDoubledConsonant(stem)) Add(out, stem.substr(0, stem.size() - 1));
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) {
    if (!out.empty()) out.push_back(' ');
    out += w;
  }
  return out;
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

std::optional<std::string_view> FindHeadword(const Dictionary& dict, std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string folded;
  folded.reserve(text.size());
  AppendFolded(text, folded, /*strict=*/false);
  const auto [first, last] = dict.PrefixRange(folded);
  // A headword equal to the text sorts before every longer one that begins with it.
  if (first < last && CompareFolded(dict.HeadwordAt(first), text) == 0) return dict.HeadwordAt(first);
  return std::nullopt;
}

std::vector<std::string> BaseCandidates(std::string_view word) {
  std::vector<std::string> out;
  if (word.empty() || word.size() > 64) return out;
  const std::string w = AsciiLower(word);
  for (std::string_view base : IrregularBases(w)) Add(out, std::string(base));
  // The suffix rules read English letters only.
  if (!std::all_of(w.begin(), w.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-' || c == '\''; }))
    return out;
  const std::size_t n = w.size();
  if (n >= 3 && w[n - 1] == 's' && !EndsWith(w, "ss") && !EndsWith(w, "us") && !EndsWith(w, "is")) {
    Add(out, w.substr(0, n - 1));                                      // books, horses, dies
    if (EndsWith(w, "es")) Add(out, w.substr(0, n - 2));               // boxes, goes
    if (EndsWith(w, "ies")) Add(out, w.substr(0, n - 3) + "y");        // cities
    if (EndsWith(w, "ves")) {                                          // wolves, knives
      Add(out, w.substr(0, n - 3) + "f");
      Add(out, w.substr(0, n - 3) + "fe");
    }
  }
  if (n >= 4 && EndsWith(w, "ed")) {
    if (EndsWith(w, "ied")) Add(out, w.substr(0, n - 3) + "y");        // carried
    AddStemCandidates(out, w.substr(0, n - 2));                        // wanted, hoped, stopped
  }
  if (n >= 5 && EndsWith(w, "ing")) {
    if (EndsWith(w, "ying")) Add(out, w.substr(0, n - 4) + "ie");      // lying
    AddStemCandidates(out, w.substr(0, n - 3));                        // talking, making, running
  }
  if (n >= 6 && (EndsWith(w, "cked") || EndsWith(w, "cking")))            // panicked, picnicking
    Add(out, w.substr(0, w.rfind('k')));
  if (n >= 5 && EndsWith(w, "sses")) Add(out, w.substr(0, n - 3));          // gasses
  // Latin and Greek plurals: stadia, octopi, larvae.
  if (n >= 4 && w[n - 1] == 'a') Add(out, w.substr(0, n - 1) + "um");
  if (n >= 4 && w[n - 1] == 'i') Add(out, w.substr(0, n - 1) + "us");
  if (n >= 4 && EndsWith(w, "ae")) Add(out, w.substr(0, n - 1));
  if (n >= 6 && EndsWith(w, "iest")) Add(out, w.substr(0, n - 3));          // eeriest
  if (n >= 5 && EndsWith(w, "ier")) Add(out, w.substr(0, n - 1));           // eerier
  // A hyphenated compound inflects its first part: brothers-in-law, passers-by.
  if (const std::size_t hyphen = w.find('-'); hyphen != std::string::npos && hyphen > 0) {
    for (const std::string& head : BaseCandidates(w.substr(0, hyphen))) Add(out, head + w.substr(hyphen));
  }
  if (n >= 5 && EndsWith(w, "iest")) Add(out, w.substr(0, n - 4) + "y");  // happiest
  else if (n >= 5 && EndsWith(w, "est")) AddStemCandidates(out, w.substr(0, n - 3));  // fastest
  if (n >= 4 && EndsWith(w, "ier")) Add(out, w.substr(0, n - 3) + "y");   // happier
  else if (n >= 4 && EndsWith(w, "er")) AddStemCandidates(out, w.substr(0, n - 2));   // faster
  return out;
}

std::string BaseFormHeadword(const Dictionary& dict, std::string_view word) {
  if (word.empty() || word.size() > kLongestCopy) return {};
  const std::vector<std::string> words = SplitWords(word);
  if (words.empty() || words.size() > kMostCopiedWords) return {};
  // One word after another, the first first: "looked up" -> "look up", "ice creams" -> "ice cream".
  for (std::size_t k = 0; k < words.size(); ++k) {
    for (const std::string& base : BaseCandidates(words[k])) {
      std::vector<std::string> phrase = words;
      phrase[k] = base;
      if (const auto head = FindHeadword(dict, Joined(phrase))) return std::string(*head);
    }
  }
  return {};
}

Resolution ResolveCopied(const Dictionary& dict, std::string_view copied) {
  Resolution r;
  r.text = std::string(copied);
  r.cleaned = r.text;
  if (copied.empty() || copied.size() > kLongestCopy) return r;
  std::u32string cps = Decode(copied);
  std::size_t b = 0, e = cps.size();
  while (b < e && IsWhite(cps[b])) ++b;
  while (e > b && IsWhite(cps[e - 1])) --e;
  bool otherBreak = false;
  const std::u32string line = Normalize(std::u32string_view(cps).substr(b, e - b), otherBreak);
  std::size_t lead = 0, trail = 0;
  while (lead < line.size() && IsPunctuation(line[lead])) ++lead;
  while (trail < line.size() - lead && IsPunctuation(line[line.size() - 1 - trail])) ++trail;
  const std::u32string_view core = std::u32string_view(line).substr(lead, line.size() - lead - trail);
  const bool split = core.find(kJoin) != std::u32string_view::npos;
  // A word split across lines: joined ("exam-ple" -> "example"), or with its hyphen where only
  // that is a headword ("well-known").
  const std::string joined = Encode(core, false);
  const std::string hyphened = split ? Encode(core, true) : joined;
  const bool coreIsHeadword = FindHeadword(dict, joined) || (split && FindHeadword(dict, hyphened));
  // A final period alone counts as the sentence's when the word before it is a headword: "no."
  // is "no", not the abbreviation "No."; "e.g." and "U.S.A." keep theirs.
  const auto sentencePeriod = [&](std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
      text.remove_suffix(1);
    return coreIsHeadword && !text.empty() && text.back() == '.' && text.find('.') == text.size() - 1;
  };

  // The text as copied first, so that a headword with blanks or punctuation in it wins.
  if (FindHeadword(dict, copied) && !sentencePeriod(copied)) {
    r.taken = true;
    return r;
  }
  // Only blanks and punctuation, several lines, or more than a short phrase: as copied.
  if (core.empty() || otherBreak || CountWords(core) > kMostCopiedWords) return r;
  r.taken = true;
  r.text = joined;
  r.cleaned = joined;

  // Then with some of the surrounding punctuation kept, the most first: "(e.g.)" -> "e.g.".
  const std::size_t leadTries = std::min<std::size_t>(lead, 3), trailTries = std::min<std::size_t>(trail, 3);
  for (std::size_t kept = leadTries + trailTries; kept > 0; --kept) {
    for (std::size_t l = std::min(kept, leadTries) + 1; l-- > 0;) {
      const std::size_t t = kept - l;
      if (t > trailTries) break;
      const std::size_t from = lead - l, to = line.size() - trail + t;
      const std::string text = Encode(std::u32string_view(line).substr(from, to - from), true);
      if (t > 0 && sentencePeriod(text)) continue;
      if (FindHeadword(dict, text)) {
        r.text = text;
        r.cleaned = text;
        return r;
      }
    }
  }
  if (FindHeadword(dict, joined)) return r;
  if (split && FindHeadword(dict, hyphened)) {
    r.text = r.cleaned = hyphened;
    return r;
  }

  // A possessive: "John's" -> "John", "children's" -> "children" -> "child".
  std::vector<std::string> forms = {joined};
  if (split) forms.push_back(hyphened);
  for (const std::string& form : std::vector<std::string>(forms)) {
    if (form.size() > 2 && EndsWith(form, "'s")) {
      const std::string owner = form.substr(0, form.size() - 2);
      if (FindHeadword(dict, owner)) {
        r.text = owner;
        r.changed = true;
        return r;
      }
      forms.push_back(owner);
    }
  }
  for (const std::string& form : forms) {
    if (std::string base = BaseFormHeadword(dict, form); !base.empty()) {
      r.text = std::move(base);
      r.changed = true;
      return r;
    }
  }
  return r;
}

std::string BalloonTitleFor(const Resolution& r) {
  if (!r.changed) return r.cleaned;
  // Both words are English and end in letters: the blanks and the ASCII arrow between them take
  // the words' left-to-right direction, so a right-to-left balloon keeps "books -> book" in this
  // order with the arrow unmirrored. No direction marks or arrow symbol: a balloon's font may
  // have no glyph for them and draw boxes.
  return r.cleaned + " -> " + r.text;
}

}  // namespace kelvara
