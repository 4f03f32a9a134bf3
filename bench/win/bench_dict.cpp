// Writes the benchmark dictionary: HEADWORDS rows from WORD_LIST with synthetic Persian
// meanings, the same rows as the engine benchmark's.
//
//   kelvara-bench-dict WORD_LIST HEADWORDS OUT_FILE [MEANING_BYTES]
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <random>

#include "BenchRows.h"
#include "lookup/DictionaryWriter.h"

int wmain(int argc, wchar_t** argv) {
  const long long wanted = argc == 4 || argc == 5 ? std::wcstoll(argv[2], nullptr, 10) : 0;
  const long long meaningBytes = argc == 5 ? std::wcstoll(argv[4], nullptr, 10) : 0;
  if (wanted <= 0 || meaningBytes < 0) {
    std::fprintf(stderr, "usage: kelvara-bench-dict WORD_LIST HEADWORDS OUT_FILE [MEANING_BYTES]\n");
    return 2;
  }
  std::mt19937 rng(kelvara::bench::kBenchSeed);
  const auto rows = kelvara::bench::MakeBenchRows(argv[1], static_cast<std::size_t>(wanted), rng,
                                                  static_cast<std::size_t>(meaningBytes));
  if (rows.empty()) {
    std::fprintf(stderr, "kelvara-bench-dict: cannot read the word list %ls\n", argv[1]);
    return 1;
  }
  for (const kelvara::WordRow& row : rows) {
    if (std::string problem = kelvara::CheckRow(row); !problem.empty()) {
      std::fprintf(stderr, "kelvara-bench-dict: '%s': %s\n", row[0].c_str(), problem.c_str());
      return 1;
    }
  }
  const std::filesystem::path out = argv[3];
  if (std::string problem = kelvara::WriteDictionaryFile(out, rows); !problem.empty()) {
    std::fprintf(stderr, "kelvara-bench-dict: %s\n", problem.c_str());
    return 1;
  }
  std::printf("kelvara-bench-dict: %zu headwords, %.1f MB\n", rows.size(),
              static_cast<double>(std::filesystem::file_size(out)) / 1e6);
  return 0;
}
