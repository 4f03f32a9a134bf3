// What opening Data.db costs on this platform, and what an open dictionary holds: the whole
// Dictionary::Open, its steps alone (mapping the file, deriving the key), opening followed by
// the first lookup a user makes (one letter: the headword blocks at the bounds and one meaning
// block are read then), all repeated and summarised in one run; then this process's private
// memory (RssAnon, read from Linux's /proc through Wine's Z: drive, since Wine's own counters
// read 0) before opening, after opening and after N lookups of random headwords, against the
// goal of 10 MB plus the headword index.
//
//   kelvara-open-bench DATA_DB [--runs N] [--lookups N]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "ProcessCpu.h"
#include "lookup/Crypto.h"
#include "lookup/Dictionary.h"
#include "lookup/FileAccess.h"
#include "lookup/Format.h"
#include "lookup/SearchWords.h"

namespace {

using namespace kelvara;
using namespace kelvara::bench;

struct Step {
  const char* name;
  std::vector<double> ms;
  double cpuMs = 0;  // this process's CPU time, summed over the runs
};

// Times one step: wall clock per run, CPU summed.
class Timing {
 public:
  explicit Timing(Step& step) : step_(step), cpu_(ProcessCpuMs()), start_(Clock::now()) {}
  ~Timing() {
    step_.ms.push_back(MillisSince(start_));
    step_.cpuMs += ProcessCpuMs() - cpu_;
  }

 private:
  Step& step_;
  double cpu_;
  Clock::time_point start_;
};

bool g_marks = false;

void Mark(const char* name) {
  std::printf("mark: %s\n", name);
  std::fflush(stdout);
  if (!g_marks) return;
  char line[16];
  (void)std::fgets(line, sizeof line, stdin);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = 15, lookups = 1000;
  std::filesystem::path file;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--runs") == 0 && i + 1 < argc) {
      runs = _wtoi(argv[++i]);
    } else if (std::wcscmp(argv[i], L"--lookups") == 0 && i + 1 < argc) {
      lookups = _wtoi(argv[++i]);
    } else if (std::wcscmp(argv[i], L"--marks") == 0) {
      g_marks = true;
    } else {
      file = argv[i];
    }
  }
  if (file.empty() || runs <= 0 || lookups < 0) {
    std::fprintf(stderr, "usage: kelvara-open-bench DATA_DB [--runs N] [--lookups N] [--marks]\n");
    return 2;
  }
  std::size_t rows = 0, version = 0;
  {
    const OpenResult first = Dictionary::Open(file);
    if (!first.dict) {
      std::fprintf(stderr, "kelvara-open-bench: %s\n", first.message.c_str());
      return 1;
    }
    rows = first.dict->size();
    version = first.dict->FormatVersion();
  }

  Step whole{"Dictionary::Open, whole", {}}, map{"map the file", {}}, key{"derive the key", {}},
      firstLookup{"Dictionary::Open and a lookup of 'a'", {}};
  for (int run = 0; run < runs; ++run) {
    {
      const Timing t(whole);
      if (!Dictionary::Open(file).dict) return 1;
    }
    MapFileResult mapped;
    {
      const Timing t(map);
      mapped = MapAndHoldFile(file);
    }
    if (!mapped.file || mapped.file->bytes().size() < format::kHeaderSize) return 1;
    const std::span<const std::uint8_t> all = mapped.file->bytes();
    crypto::Key fileKey;
    format::KeyCheck check;
    {
      const Timing t(key);
      if (!format::DeriveFileKey(kDictionaryPassword, all.subspan(format::kOffSalt, format::kSaltSize),
                                 format::LoadU32(all.data() + format::kOffIterations), fileKey, check)) {
        return 1;
      }
    }
    mapped.file.reset();
    {
      const Timing t(firstLookup);
      const OpenResult opened = Dictionary::Open(file);
      if (!opened.dict || SearchWords(*opened.dict, "a").damaged) return 1;
    }
  }

  const Summary w = Summarize(whole.ms);
  std::printf("kelvara-open-bench: %zu rows, format version %zu, file %.1f MB\n\n%-40s %4s | %9s %9s %6s | %9s\n",
              rows, version, static_cast<double>(std::filesystem::file_size(file)) / 1e6,
              "opening Data.db (ms)", "n", "wall med", "p99", "share", "cpu mean");
  const double n = static_cast<double>(runs);
  for (const Step* s : {&whole, &map, &key, &firstLookup}) {
    const Summary m = Summarize(s->ms);
    std::printf("%-40s %4zu | %9.2f %9.2f %5.0f%% | %9.2f\n", s->name, m.count, m.median, m.p99,
                100 * Ratio(m.median, w.median), s->cpuMs / n);
  }

  // Memory: one dictionary held as the program holds it, looked up as a user would.
  std::printf("\n");
  Mark("before opening");
  OpenResult held = Dictionary::Open(file);
  if (!held.dict) return 1;
  const Dictionary& dict = *held.dict;
  Mark("opened");
  std::mt19937 rng(14);
  std::uniform_int_distribution<std::size_t> anyPosition(0, rows == 0 ? 0 : rows - 1);
  std::size_t damaged = 0, shown = 0;
  for (int i = 0; i < lookups && rows > 0; ++i) {
    const std::string word(dict.HeadwordAt(anyPosition(rng)));
    const SearchResult r = SearchWords(dict, word);
    damaged += r.damaged;
    for (std::size_t k = 0; k < r.matches.size() && k < 20; ++k) shown += r.matches.Headword(k).size();
  }
  Mark("after the lookups");
  std::printf("%d lookups of random headwords (%zu list bytes drawn, %zu damaged); headword index %.1f MB\n"
              "in %zu blocks: goal for the private memory, at most 10 MB + the index = %.1f MB\n",
              lookups, shown, damaged, static_cast<double>(dict.HeadwordIndexBytes()) / (1024 * 1024),
              dict.HeadwordBlocks(), 10 + static_cast<double>(dict.HeadwordIndexBytes()) / (1024 * 1024));
  return 0;
}
