#include "BenchRows.h"

#include <algorithm>
#include <fstream>

namespace kelvara::bench {

std::vector<WordRow> MakeBenchRows(const std::filesystem::path& wordList, std::size_t wanted,
                                   std::mt19937& rng, std::size_t meaningBytes) {
  std::ifstream in(wordList, std::ios::binary);
  std::vector<std::string> all;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) all.push_back(line);
  }
  if (all.empty()) return {};
  // An even spread over the whole list, so every initial letter keeps its share.
  std::vector<std::string> words;
  const std::size_t n = std::min(wanted, all.size());
  words.reserve(n);
  for (std::size_t k = 0; k < n; ++k) words.push_back(all[k * all.size() / n]);
  std::shuffle(words.begin(), words.end(), rng);

  static const char* const kPersian[] = {"کتاب", "خانه", "زیبا", "رفتن", "آب", "درخت", "کوچک",
                                         "بزرگ", "دوست", "شهر", "نور", "زمان", "کردن", "یک",
                                         "واژه", "معنی", "گفتن", "دیدن", "سبز", "راه"};
  std::uniform_int_distribution<int> count(2, 7), pick(0, 19);
  std::vector<WordRow> rows;
  rows.reserve(words.size());
  for (std::string& w : words) {
    std::string meaning;
    for (int i = count(rng); i > 0; --i) {
      if (!meaning.empty()) meaning += i % 3 == 0 ? "، " : " ";
      meaning += kPersian[pick(rng)];
    }
    rows.push_back({std::move(w), std::move(meaning)});
  }
  std::uniform_int_distribution<std::size_t> anyWord(0, all.size() - 1);
  while (rows.size() < wanted) {
    std::string phrase = all[anyWord(rng)] + " " + all[anyWord(rng)];
    std::string meaning = kPersian[pick(rng)];
    rows.push_back({std::move(phrase), std::move(meaning)});
  }
  if (meaningBytes > 0) {
    for (WordRow& row : rows) {
      while (row[1].size() < meaningBytes) {
        row[1] += row[1].size() % 3 == 0 ? "، " : " ";
        row[1] += kPersian[pick(rng)];
      }
    }
  }
  return rows;
}

std::string Utf8Prefix(const std::string& word, std::size_t n) {
  std::size_t end = 0;
  while (end < word.size() && n > 0) {
    ++end;
    while (end < word.size() && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) ++end;
    --n;
  }
  return word.substr(0, end);
}

}  // namespace kelvara::bench
