#include "ImportSource.h"

#include <algorithm>
#include <cstring>

namespace kelvara::import {
namespace {

// Large enough that the chunks' count stays small, small enough that the last one's unused
// end is no matter.
constexpr std::size_t kChunk = std::size_t{1} << 20;

}  // namespace

std::string_view TextArena::Keep(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > left_) {
    // A text larger than a quarter chunk gets a chunk of its own, so the open one is not wasted.
    if (text.size() > kChunk / 4) {
      auto own = std::make_unique_for_overwrite<char[]>(text.size());
      std::memcpy(own.get(), text.data(), text.size());
      chunks_.push_back(std::move(own));
      return {chunks_.back().get(), text.size()};
    }
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunk));  // not zeroed: written before read
    free_ = chunks_.back().get();
    left_ = kChunk;
  }
  char* at = free_;
  std::memcpy(at, text.data(), text.size());
  free_ += text.size();
  left_ -= text.size();
  return {at, text.size()};
}

void TextArena::Clear() {
  chunks_.clear();
  free_ = nullptr;
  left_ = 0;
}

EntryList::EntryList(std::initializer_list<Entry> entries) {
  entries_.reserve(entries.size());
  for (const Entry& e : entries) Add(e.headword, e.meaning);
}

void EntryList::clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  text_.Clear();
}

std::size_t FindLineBreak(std::string_view text, std::size_t from) {
  if (from >= text.size()) return text.size();
  const char* const p = text.data() + from;
  const std::size_t n = text.size() - from;
  const auto* lf = static_cast<const char*>(std::memchr(p, '\n', n));
  const std::size_t upTo = lf ? static_cast<std::size_t>(lf - p) : n;
  const auto* cr = static_cast<const char*>(std::memchr(p, '\r', upTo));
  if (cr) return from + static_cast<std::size_t>(cr - p);
  return lf ? from + upTo : text.size();
}

std::string ToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t at = FindLineBreak(text, i);
    if (at == text.size()) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, at - i));
    out += "\r\n";
    i = at + (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1);
  }
  return out;
}

}  // namespace kelvara::import
