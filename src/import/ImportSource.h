// What every importer gives: one source dictionary read into headwords and plain-text meanings.
// Portable: the importers run in kelvara-dict natively and on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvara::import {

// Text kept for as long as the arena lives, packed into large chunks: half a million meanings
// cost their bytes and nothing per text, and a text once kept never moves.
class TextArena {
 public:
  TextArena() = default;
  TextArena(TextArena&& other) noexcept { *this = std::move(other); }
  TextArena& operator=(TextArena&& other) noexcept {
    chunks_ = std::move(other.chunks_);
    free_ = std::exchange(other.free_, nullptr);
    left_ = std::exchange(other.left_, 0);
    other.chunks_.clear();
    return *this;
  }
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;

  std::string_view Keep(std::string_view text);
  void Clear();

 private:
  std::vector<std::unique_ptr<char[]>> chunks_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
};

// A headword and its meaning as the source gives it, UTF-8. The meaning is plain text for the
// program's plain meaning box: no markup, line breaks as CR LF. Views into what holds them.
struct Entry {
  std::string_view headword;
  std::string_view meaning;
};

// A source's entries, their text in one arena. Moving the list keeps every view valid.
class EntryList {
 public:
  EntryList() = default;
  EntryList(std::initializer_list<Entry> entries);
  EntryList(EntryList&&) noexcept = default;
  EntryList& operator=(EntryList&&) noexcept = default;

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }

  void Add(std::string_view headword, std::string_view meaning) {
    entries_.push_back({text_.Keep(headword), text_.Keep(meaning)});
  }
  // A headword whose meaning is entry `of`'s (a synonym, a card's other headwords): not copied.
  void AddSharingMeaning(std::string_view headword, std::size_t of) {
    entries_.push_back({text_.Keep(headword), entries_[of].meaning});
  }
  // Room for n entries, each empty until Set (readers that fill in another order than the
  // source's).
  void Resize(std::size_t n) { entries_.resize(n); }
  void Set(std::size_t i, std::string_view headword, std::string_view meaning) {
    entries_[i] = {text_.Keep(headword), text_.Keep(meaning)};
  }
  void Reserve(std::size_t n) { entries_.reserve(n); }
  void clear();

 private:
  std::vector<Entry> entries_;
  TextArena text_;
};

// One source dictionary: its own name (shown above its text when several sources give the same
// headword) and its entries in the source's order.
struct Source {
  std::string name;
  EntryList entries;
  // Every meaning passes CellIsSound already (the reader checked each as it made it), so the
  // merge need not scan them again. False: not known.
  bool meaningsSound = false;
};

// Called now and then while a source is read: work done and work in all, in any one unit.
using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Where the next CR or LF lies at or after `from`, or text.size(): found with memchr, not a byte
// at a time.
std::size_t FindLineBreak(std::string_view text, std::size_t from);

// Line breaks of any kind (LF, CR, CR LF) as CR LF, the form the multi-line meaning box needs.
std::string ToCrLf(std::string_view text);

}  // namespace kelvara::import
