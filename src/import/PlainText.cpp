#include "PlainText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "ImportSource.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

struct NamedEntity {
  std::string_view name;
  char32_t cp;
};

// HTML 4's named characters (the set dictionaries use), plus &apos; from XML; sorted by name.
constexpr auto kEntities = [] {
  std::array<NamedEntity, 253> table{{
      {"AElig", 198}, {"Aacute", 193}, {"Acirc", 194}, {"Agrave", 192}, {"Alpha", 913},
      {"Aring", 197}, {"Atilde", 195}, {"Auml", 196}, {"Beta", 914}, {"Ccedil", 199},
      {"Chi", 935}, {"Dagger", 8225}, {"Delta", 916}, {"ETH", 208}, {"Eacute", 201},
      {"Ecirc", 202}, {"Egrave", 200}, {"Epsilon", 917}, {"Eta", 919}, {"Euml", 203},
      {"Gamma", 915}, {"Iacute", 205}, {"Icirc", 206}, {"Igrave", 204}, {"Iota", 921},
      {"Iuml", 207}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Ntilde", 209}, {"Nu", 925},
      {"OElig", 338}, {"Oacute", 211}, {"Ocirc", 212}, {"Ograve", 210}, {"Omega", 937},
      {"Omicron", 927}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214}, {"Phi", 934},
      {"Pi", 928}, {"Prime", 8243}, {"Psi", 936}, {"Rho", 929}, {"Scaron", 352}, {"Sigma", 931},
      {"THORN", 222}, {"Tau", 932}, {"Theta", 920}, {"Uacute", 218}, {"Ucirc", 219},
      {"Ugrave", 217}, {"Upsilon", 933}, {"Uuml", 220}, {"Xi", 926}, {"Yacute", 221},
      {"Yuml", 376}, {"Zeta", 918}, {"aacute", 225}, {"acirc", 226}, {"acute", 180},
      {"aelig", 230}, {"agrave", 224}, {"alefsym", 8501}, {"alpha", 945}, {"amp", 38},
      {"and", 8743}, {"ang", 8736}, {"apos", 39}, {"aring", 229}, {"asymp", 8776},
      {"atilde", 227}, {"auml", 228}, {"bdquo", 8222}, {"beta", 946}, {"brvbar", 166},
      {"bull", 8226}, {"cap", 8745}, {"ccedil", 231}, {"cedil", 184}, {"cent", 162},
      {"chi", 967}, {"circ", 710}, {"clubs", 9827}, {"cong", 8773}, {"copy", 169},
      {"crarr", 8629}, {"cup", 8746}, {"curren", 164}, {"dArr", 8659}, {"dagger", 8224},
      {"darr", 8595}, {"deg", 176}, {"delta", 948}, {"diams", 9830}, {"divide", 247},
      {"eacute", 233}, {"ecirc", 234}, {"egrave", 232}, {"empty", 8709}, {"emsp", 8195},
      {"ensp", 8194}, {"epsilon", 949}, {"equiv", 8801}, {"eta", 951}, {"eth", 240},
      {"euml", 235}, {"euro", 8364}, {"exist", 8707}, {"fnof", 402}, {"forall", 8704},
      {"frac12", 189}, {"frac14", 188}, {"frac34", 190}, {"frasl", 8260}, {"gamma", 947},
      {"ge", 8805}, {"gt", 62}, {"hArr", 8660}, {"harr", 8596}, {"hearts", 9829},
      {"hellip", 8230}, {"iacute", 237}, {"icirc", 238}, {"iexcl", 161}, {"igrave", 236},
      {"image", 8465}, {"infin", 8734}, {"int", 8747}, {"iota", 953}, {"iquest", 191},
      {"isin", 8712}, {"iuml", 239}, {"kappa", 954}, {"lArr", 8656}, {"lambda", 955},
      {"lang", 9001}, {"laquo", 171}, {"larr", 8592}, {"lceil", 8968}, {"ldquo", 8220},
      {"le", 8804}, {"lfloor", 8970}, {"lowast", 8727}, {"loz", 9674}, {"lrm", 8206},
      {"lsaquo", 8249}, {"lsquo", 8216}, {"lt", 60}, {"macr", 175}, {"mdash", 8212},
      {"micro", 181}, {"middot", 183}, {"minus", 8722}, {"mu", 956}, {"nabla", 8711},
      {"nbsp", 160}, {"ndash", 8211}, {"ne", 8800}, {"ni", 8715}, {"not", 172}, {"notin", 8713},
      {"nsub", 8836}, {"ntilde", 241}, {"nu", 957}, {"oacute", 243}, {"ocirc", 244},
      {"oelig", 339}, {"ograve", 242}, {"oline", 8254}, {"omega", 969}, {"omicron", 959},
      {"oplus", 8853}, {"or", 8744}, {"ordf", 170}, {"ordm", 186}, {"oslash", 248},
      {"otilde", 245}, {"otimes", 8855}, {"ouml", 246}, {"para", 182}, {"part", 8706},
      {"permil", 8240}, {"perp", 8869}, {"phi", 966}, {"pi", 960}, {"piv", 982}, {"plusmn", 177},
      {"pound", 163}, {"prime", 8242}, {"prod", 8719}, {"prop", 8733}, {"psi", 968},
      {"quot", 34}, {"rArr", 8658}, {"radic", 8730}, {"rang", 9002}, {"raquo", 187},
      {"rarr", 8594}, {"rceil", 8969}, {"rdquo", 8221}, {"real", 8476}, {"reg", 174},
      {"rfloor", 8971}, {"rho", 961}, {"rlm", 8207}, {"rsaquo", 8250}, {"rsquo", 8217},
      {"sbquo", 8218}, {"scaron", 353}, {"sdot", 8901}, {"sect", 167}, {"shy", 173},
      {"sigma", 963}, {"sigmaf", 962}, {"sim", 8764}, {"spades", 9824}, {"sub", 8834},
      {"sube", 8838}, {"sum", 8721}, {"sup", 8835}, {"sup1", 185}, {"sup2", 178}, {"sup3", 179},
      {"supe", 8839}, {"szlig", 223}, {"tau", 964}, {"there4", 8756}, {"theta", 952},
      {"thetasym", 977}, {"thinsp", 8201}, {"thorn", 254}, {"tilde", 732}, {"times", 215},
      {"trade", 8482}, {"uArr", 8657}, {"uacute", 250}, {"uarr", 8593}, {"ucirc", 251},
      {"ugrave", 249}, {"uml", 168}, {"upsih", 978}, {"upsilon", 965}, {"uuml", 252},
      {"weierp", 8472}, {"xi", 958}, {"yacute", 253}, {"yen", 165}, {"yuml", 255},
      {"zeta", 950}, {"zwj", 8205}, {"zwnj", 8204},
  }};
  return table;
}();

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Decodes the reference at text[0] == '&'. Returns the bytes it spans (0 when it is none).
std::size_t DecodeEntityAt(std::string_view text, std::string& out) {
  // References are short: looking further for the ';' would make a run of '&' quadratic.
  const std::size_t semicolon = text.substr(0, 42).find(';', 1);
  if (semicolon == std::string_view::npos) return 0;
  const std::string_view body = text.substr(1, semicolon - 1);
  if (body.empty()) return 0;
  if (body[0] == '#') {
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    std::uint32_t value = 0;
    for (const char c : digits) {
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return 0;
      value = value * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
    }
    const bool character = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    utf8::Append(out, character ? static_cast<char32_t>(value) : utf8::kReplacement);
    return semicolon + 1;
  }
  if (!std::all_of(body.begin(), body.end(), IsAsciiAlnum)) return 0;
  const auto it = std::lower_bound(kEntities.begin(), kEntities.end(), body,
                                   [](const NamedEntity& e, std::string_view n) { return e.name < n; });
  if (it == kEntities.end() || it->name != body) return 0;
  utf8::Append(out, it->cp);
  return semicolon + 1;
}

constexpr std::size_t kMaxTag = 4096;

// The markup walker: text and tags in order, into plain text.
class Renderer {
 public:
  explicit Renderer(Markup markup) : markup_(markup) {}

  std::string Run(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '<') {
        const std::size_t used = Tag(text.substr(i));
        if (used > 0) {
          i += used;
          continue;
        }
        Text("<");  // a '<' that opens no tag ("a < b" in loose HTML) is text
        ++i;
      } else if (c == '&') {
        std::string decoded;
        const std::size_t used = DecodeEntityAt(text.substr(i), decoded);
        if (used > 0) {
          Text(decoded, true);
          i += used;
        } else {
          Text("&");
          ++i;
        }
      } else {
        const std::size_t next = text.find_first_of("<&", i);
        const std::size_t end = next == std::string_view::npos ? text.size() : next;
        Text(text.substr(i, end - i));
        i = end;
      }
    }
    return std::move(out_);
  }

 private:
  // Text outside tags. HTML folds runs of blanks and line breaks into one space (except in
  // <pre>); Pango and XDXF keep them.
  void Text(std::string_view text, bool fromEntity = false) {
    if (hidden_ > 0) return;
    const bool fold = markup_ == Markup::kHtml && pre_ == 0 && !fromEntity;
    for (const char c : text) {
      if (fold && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f')) {
        if (!out_.empty() && out_.back() != ' ' && out_.back() != '\n') out_ += ' ';
      } else {
        out_ += c;
      }
    }
  }

  void LineBreak() {
    if (hidden_ > 0) return;
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    out_ += '\n';
  }

  // The end or start of a block: a line break unless one is there already.
  void BlockEdge() {
    if (hidden_ > 0) return;
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    if (!out_.empty() && out_.back() != '\n') out_ += '\n';
  }

  // A tag at text[0] == '<': returns the bytes it spans, 0 when it is no tag.
  std::size_t Tag(std::string_view text) {
    if (text.starts_with("<!--")) {
      const std::size_t end = text.find("-->", 4);
      return end == std::string_view::npos ? text.size() : end + 3;
    }
    if (text.starts_with("<![CDATA[")) {
      const std::size_t end = text.find("]]>", 9);
      const std::size_t stop = end == std::string_view::npos ? text.size() : end;
      if (hidden_ == 0) out_.append(text.substr(9, stop - 9));
      return end == std::string_view::npos ? text.size() : end + 3;
    }
    std::size_t i = 1;
    const bool closing = i < text.size() && text[i] == '/';
    if (closing) ++i;
    const bool declaration = i < text.size() && (text[i] == '!' || text[i] == '?');
    if (!declaration && (i >= text.size() || !(IsAsciiAlnum(text[i])))) return 0;
    std::string name;
    while (i < text.size() && (IsAsciiAlnum(text[i]) || text[i] == '-' || text[i] == ':' ||
                               text[i] == '_' || text[i] == '!' || text[i] == '?')) {
      name += AsciiLower(text[i]);
      ++i;
    }
    // The tag ends at the first '>' outside a quoted attribute value. No real tag is longer
    // than kMaxTag; looking further would make a run of "<a \"" quadratic.
    char quote = 0;
    const std::size_t limit = std::min(text.size(), kMaxTag);
    for (; i < limit; ++i) {
      const char c = text[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      } else if (c == '<') {
        return 0;  // a '<' before any '>': this was text, not a tag
      }
    }
    if (i >= limit) return 0;
    const bool selfClosing = text[i - 1] == '/';
    if (!declaration) Apply(name, closing, selfClosing);
    return i + 1;
  }

  void Apply(const std::string& name, bool closing, bool selfClosing) {
    static constexpr std::array<std::string_view, 34> kBlocks = {
        "address", "article", "aside", "blockquote", "center", "dd", "def", "div", "dl", "dt",
        "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6", "header",
        "hr", "li", "main", "nav", "ol", "p", "pre", "section", "table", "tbody", "tr", "ul",
        "thead"};
    // Content that is no text of the meaning: scripts, styles, the head, resource references.
    static constexpr std::array<std::string_view, 6> kHidden = {"head", "object", "rref",
                                                                "script", "style", "title"};
    if (name == "br") {
      LineBreak();
      return;
    }
    const bool hides = std::find(kHidden.begin(), kHidden.end(), name) != kHidden.end();
    if (hides && !selfClosing) {
      if (closing) {
        if (hidden_ > 0) --hidden_;
      } else {
        ++hidden_;
      }
      return;
    }
    if (markup_ == Markup::kXdxf && name == "tr" && !selfClosing) {
      // XDXF's transcription, shown in brackets as dictionaries print it.
      Text(closing ? "]" : "[");
      return;
    }
    if (markup_ == Markup::kHtml && name == "pre" && !selfClosing) {
      pre_ = closing ? std::max(pre_ - 1, 0) : pre_ + 1;
    }
    if ((name == "td" || name == "th") && closing) {
      Text(" ");  // cells of a row stay apart
      return;
    }
    if (markup_ != Markup::kPango &&
        std::find(kBlocks.begin(), kBlocks.end(), name) != kBlocks.end()) {
      BlockEdge();
    }
  }

  Markup markup_;
  std::string out_;
  int hidden_ = 0;
  int pre_ = 0;
};

}  // namespace

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '&') {
      const std::size_t used = DecodeEntityAt(text.substr(i), out);
      if (used > 0) {
        i += used;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

void TidyPlainText(std::string_view text, std::string& out) {
  out.clear();
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  // Blank lines at the end go, and so do blank lines at the start (the first line's own
  // indentation stays).
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') start = i + 1;
    else if (!blank(text[i])) break;
  }
  text.remove_prefix(start);
  // Line by line: any line break becomes CR LF, blanks before it go.
  out.reserve(text.size() + text.size() / 16 + 2);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t at = FindLineBreak(text, i);
    std::string_view line = text.substr(i, at - i);
    if (at == text.size()) {
      out.append(line);
      break;
    }
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    out.append(line);
    out += "\r\n";
    i = at + (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1);
  }
}

std::string TidyPlainText(std::string_view text) {
  std::string out;
  TidyPlainText(text, out);
  return out;
}

std::string MarkupToPlainText(std::string_view text, Markup markup) {
  return TidyPlainText(Renderer(markup).Run(text));
}

}  // namespace kelvara::import
