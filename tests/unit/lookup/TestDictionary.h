// Dictionaries made in memory for tests, with the cheapest key derivation allowed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/SearchWords.h"

namespace kelvara::test {

inline WriteOptions FastOptions() {
  WriteOptions options;
  options.kdfIterations = 1000;
  return options;
}

inline std::vector<std::uint8_t> Encode(const std::vector<WordRow>& rows,
                                        const WriteOptions& options = FastOptions()) {
  EncodeResult encoded = EncodeDictionary(rows, options);
  EXPECT_EQ(encoded.error, "");
  return encoded.bytes;
}

inline std::unique_ptr<Dictionary> Make(const std::vector<WordRow>& rows) {
  OpenResult opened = Dictionary::FromBytes(Encode(rows));
  EXPECT_EQ(opened.error, DictError::None) << opened.message;
  return std::move(opened.dict);
}

// Headwords with their meaning "m:<headword>".
inline std::unique_ptr<Dictionary> MakeWords(std::initializer_list<const char*> headwords) {
  std::vector<WordRow> rows;
  for (const char* h : headwords) rows.push_back({h, std::string("m:") + h});
  return Make(rows);
}

inline std::vector<std::string> Listed(const Dictionary& dict, std::string_view word) {
  const Matches matches = FindMatches(dict, word);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < matches.size(); ++i) out.emplace_back(matches.Headword(i));
  return out;
}

// A folder of its own under the temporary directory, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("kelvara-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace kelvara::test
