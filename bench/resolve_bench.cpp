// The copied-text resolver and the spelling suggestions against the plain lookup, on the same
// 300,000 headwords as the engine benchmark, in one run: medians, p99, worst cases and ratios;
// and the most memory a suggestion search holds, against the size of the headword column.
//
//   kelvara-resolve-bench [WORD_LIST] [HEADWORDS]
#include <algorithm>
#include <atomic>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "BenchRows.h"
#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Resolve.h"
#include "lookup/SearchWords.h"
#include "lookup/Suggest.h"

// Heap bytes in use, and the most in use since the last reset: what a call holds at its peak.
namespace {
std::size_t g_inUse = 0, g_peak = 0;
}
void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  g_inUse += n;
  g_peak = std::max(g_peak, g_inUse);
  return static_cast<char*>(p) + 16;
}
// GCC sees the header read below as out of the bounds of whatever was deleted: it is ours.
#pragma GCC diagnostic ignored "-Warray-bounds"
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  std::size_t size;
  std::memcpy(&size, base, sizeof size);
  g_inUse -= size;
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

volatile std::size_t g_sink = 0;

// This thread's processor time in microseconds: on a machine shared with other builds, wall
// time mostly measures how often the scheduler looked elsewhere.
double CpuMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct Stats {
  double median, p99, max;
};

Stats Summarize(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return {t[t.size() / 2], t[std::min(t.size() - 1, t.size() * 99 / 100)], t.back()};
}

template <typename F>
Stats Time(const std::vector<std::string>& inputs, F&& f) {
  for (const std::string& s : inputs) f(s);  // warm
  std::vector<double> times;
  times.reserve(inputs.size());
  for (const std::string& s : inputs) {
    const double start = CpuMicros();
    f(s);
    times.push_back(CpuMicros() - start);
  }
  return Summarize(std::move(times));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string wordList = argc > 1 ? argv[1] : "/usr/share/dict/american-english-huge";
  const std::size_t wanted = argc > 2 ? std::stoul(argv[2]) : 300000;
  std::mt19937 rng(kelvara::bench::kBenchSeed);
  const std::vector<kelvara::WordRow> rows = kelvara::bench::MakeBenchRows(wordList, wanted, rng);
  if (rows.empty()) {
    std::fprintf(stderr, "kelvara-resolve-bench: cannot read the word list %s\n", wordList.c_str());
    return 2;
  }
  kelvara::WriteOptions options;
  options.kdfIterations = 1000;
  kelvara::EncodeResult encoded = kelvara::EncodeDictionary(rows, options);
  kelvara::OpenResult opened = kelvara::Dictionary::FromBytes(encoded.bytes);
  if (!opened.dict) {
    std::fprintf(stderr, "kelvara-resolve-bench: %s\n", opened.message.c_str());
    return 1;
  }
  const kelvara::Dictionary& dict = *opened.dict;
  std::size_t headwordBytes = 0;
  for (const kelvara::WordRow& r : rows) headwordBytes += r[0].size();
  std::printf("%zu headwords from %s; headword column %.2f MB\n", rows.size(), wordList.c_str(),
              static_cast<double>(headwordBytes) / 1e6);

  std::uniform_int_distribution<std::size_t> anyRow(0, rows.size() - 1);
  std::uniform_int_distribution<int> letter('a', 'z');
  // Edit `kind` % 3 at `at` (at least 1): a letter changed, dropped, or swapped with the one before.
  const auto mistype = [&](std::string& t, std::size_t at, int kind) {
    switch (kind % 3) {
      case 0: t[at] = static_cast<char>(letter(rng)); break;
      case 1: t.erase(at, 1); break;
      default: std::swap(t[at], t[at - 1]); break;
    }
  };
  std::vector<std::string> words, copies, typos, nonsense;
  for (int i = 0; i < 1000; ++i) {
    const std::string w = rows[anyRow(rng)][0];
    words.push_back(w);
    // As readers copy: with a blank, with punctuation, inflected.
    static const char* const kForms[] = {"%s ", "\"%s,\" ", "(%s).", "%ss", "%sed", "%sing"};
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, kForms[i % 6], w.c_str());
    copies.push_back(buffer);
    // One or two edits: a letter changed, dropped or two swapped.
    std::string t = w;
    if (t.size() > 3) mistype(t, 1 + rng() % (t.size() - 2), i);
    typos.push_back(t);
    std::string junk;
    for (int k = 0; k < 20; ++k) junk.push_back(static_cast<char>(letter(rng)));
    nonsense.push_back(junk);
  }

  // Short words have the most neighbours within two edits, so the most to rank: the typos of
  // words of three to five letters.
  std::vector<std::string> shortWords;
  for (const kelvara::WordRow& r : rows)
    if (r[0].size() >= 3 && r[0].size() <= 5) shortWords.push_back(r[0]);
  std::vector<std::string> shortTypos;
  for (int i = 0; i < 1000 && !shortWords.empty(); ++i) {
    std::string t = shortWords[rng() % shortWords.size()];
    mistype(t, 1 + rng() % (t.size() - 1), i);
    shortTypos.push_back(t);
  }

  const auto plain = [&](const std::string& w) {
    g_sink = g_sink + kelvara::SearchWords(dict, w).matches.size();
  };
  const auto resolveAndLook = [&](const std::string& w) {
    g_sink = g_sink + kelvara::LookUpWord(dict, kelvara::ResolveCopied(dict, w).text).matches.size();
  };
  const auto lookWithSuggestions = [&](const std::string& w) {
    g_sink = g_sink + kelvara::LookUpWord(dict, w).suggestions.size();
  };

  const Stats base = Time(words, plain);
  struct Row {
    const char* name;
    Stats stats;
  };
  const Row measured[] = {
      {"copy resolved + looked up", Time(copies, resolveAndLook)},
      {"typo: not found + suggestions", Time(typos, lookWithSuggestions)},
      {"short-word typo + suggestions", Time(shortTypos, lookWithSuggestions)},
      {"20-letter nonsense + suggestions", Time(nonsense, lookWithSuggestions)},
  };
  std::printf("\n%-34s %10s %10s %10s | %9s %9s\n", "query (thread CPU time)", "median us", "p99 us", "max us", "x plain", "p99 x");
  std::printf("%-34s %10.2f %10.2f %10.2f | %9s %9s\n", "plain lookup of a whole word (base)", base.median, base.p99,
              base.max, "1", "1");
  double worstMs = 0;
  for (const Row& r : measured) {
    std::printf("%-34s %10.2f %10.2f %10.2f | %8.1fx %8.1fx\n", r.name, r.stats.median, r.stats.p99, r.stats.max,
                r.stats.median / std::max(base.median, 0.001), r.stats.p99 / std::max(base.p99, 0.001));
    worstMs = std::max(worstMs, r.stats.max / 1000);
  }

  // Memory: the most heap a suggestion search holds beyond what was in use before it.
  std::size_t peakExtra = 0;
  for (const std::vector<std::string>* set : {&typos, &shortTypos, &nonsense}) {
    for (const std::string& w : *set) {
      const std::size_t before = g_inUse;
      g_peak = before;
      g_sink = g_sink + kelvara::Suggest(dict, w).size();
      peakExtra = std::max(peakExtra, g_peak - before);
    }
  }
  int found = 0;
  for (std::size_t i = 0; i < typos.size(); ++i) {
    const std::vector<std::string> s = kelvara::Suggest(dict, typos[i], 3);
    found += std::any_of(s.begin(), s.end(), [&](const std::string& x) { return x == words[i]; }) ? 1 : 0;
  }
  std::printf("\nsuggestions' peak extra memory: %zu bytes (%.4f%% of the headword column)\n", peakExtra,
              100.0 * static_cast<double>(peakExtra) / static_cast<double>(headwordBytes));

  // The first suggestion request after opening does what later ones need not: it reads the
  // headword blocks that no lookup has read yet, and makes what the suggestions keep for good.
  // Timed on a freshly opened copy after one plain lookup; and what it keeps, measured on another
  // copy whose blocks were all read first (they are the dictionary's own, not the suggestions').
  {
    const auto fresh = kelvara::Dictionary::FromBytes(encoded.bytes).dict;
    g_sink = g_sink + kelvara::SearchWords(*fresh, words[0]).matches.size();
    const double start = CpuMicros();
    g_sink = g_sink + kelvara::LookUpWord(*fresh, typos[0]).suggestions.size();
    const double first = CpuMicros() - start;
    const double again = CpuMicros();
    g_sink = g_sink + kelvara::LookUpWord(*fresh, typos[1]).suggestions.size();
    std::printf("first suggestion request after opening: %.2f ms (the next: %.2f ms)\n", first / 1000,
                (CpuMicros() - again) / 1000);
  }
  {
    const auto fresh = kelvara::Dictionary::FromBytes(encoded.bytes).dict;
    (void)fresh->CheckAllBlocks();
    // The meaning cache filled, so that it holds as much before as after.
    for (std::size_t k = 0; k < 16; ++k) g_sink = g_sink + kelvara::SearchWords(*fresh, words[k]).matches.size();
    const std::size_t before = g_inUse;
    g_sink = g_sink + kelvara::LookUpWord(*fresh, typos[0]).suggestions.size();
    const std::size_t kept = g_inUse - before;
    std::printf("kept by the suggestions after the first request: %zu bytes (%.1f%% of the headword column)\n", kept,
                100.0 * static_cast<double>(kept) / static_cast<double>(headwordBytes));
  }
  std::printf("typos whose word is among the first three suggestions: %d of %zu\n", found, typos.size());
  std::printf("slowest call: %.2f ms (budget for a keystroke: 5 ms with the window's drawing)\n", worstMs);
  return 0;
}
