#include "ImportSource.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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
  const char* p = text.data() + from;
  const char* const end = text.data() + text.size();
  // Eight bytes at a time, for CR and LF at once: meanings have short lines, where two searches
  // with memchr cost more in their calls than in their scans. A byte that equals CR or LF gives a
  // zero in w ^ 0x0D.. or w ^ 0x0A..; the lowest flagged byte is always a true zero.
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      const std::uint64_t lf = w ^ (kOnes * '\n'), cr = w ^ (kOnes * '\r');
      const std::uint64_t found = (((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHigh;
      if (found != 0) return static_cast<std::size_t>(p - text.data()) + std::countr_zero(found) / 8;
      p += 8;
    }
  }
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return static_cast<std::size_t>(p - text.data());
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
