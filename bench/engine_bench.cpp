// The lookup engine against SQLite on the same 300,000 headwords, in one run: every 1-letter
// prefix, random 2- and 3-letter prefixes and whole words, fetching every matching headword and
// the first meaning; and the time to open the dictionary file. Prints medians, p99 and ratios.
//
// Then what the open dictionary holds after 1,000 lookups of random headwords (private memory,
// RssAnon), against 10 MB plus its headword index.
//
//   kelvara-bench [WORD_LIST] [HEADWORDS] [MEANING_BYTES] [--open-only]
//
// MEANING_BYTES lengthens every meaning (a dictionary of long entries); --open-only leaves out
// SQLite and the query timings (for a file of a million headwords, say). The memory is measured
// in a fresh process (kelvara-bench --memory DATA_DB), whose heap holds nothing else.
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "BenchRows.h"
#include "lookup/Crypto.h"
#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/SearchWords.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelvara::WordRow;

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Every fetched headword's length adds up here, so that no fetching can be optimised away.
volatile std::size_t g_fetched = 0;

// Resident memory of this process in MB (Linux), to show what an open dictionary holds.
double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4096 / 1e6;
}

// Private memory of this process in MB (RssAnon), what the dictionary adds to the program.
double PrivateMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stod(line.substr(8)) / 1024;
  }
  return 0;
}

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// This thread's CPU time in microseconds: read around a whole run of queries (reading it costs a
// system call), it tells what the queries cost apart from the time other processes take.
double ThreadCpuMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct Stats {
  double median, p99;
};

Stats Summarize(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  const auto at = [&](double q) { return t[std::min(t.size() - 1, static_cast<std::size_t>(q * static_cast<double>(t.size())))]; };
  return {at(0.5), at(0.99)};
}

struct Sqlite {
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  ~Sqlite() {
    sqlite3_finalize(query);
    sqlite3_close(db);
  }
  bool Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
};

bool FillSqlite(Sqlite& s, const std::filesystem::path& file, const std::vector<WordRow>& rows) {
  if (sqlite3_open(file.string().c_str(), &s.db) != SQLITE_OK) return false;
  // The strongest baseline: the whole database held in memory, as ours is.
  if (!s.Exec("PRAGMA cache_size = -524288; PRAGMA mmap_size = 536870912;") ||
      !s.Exec("CREATE TABLE Words (English TEXT, Meaning TEXT); BEGIN;")) {
    return false;
  }
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(s.db, "INSERT INTO Words VALUES (?1, ?2)", -1, &insert, nullptr);
  for (const WordRow& r : rows) {
    sqlite3_bind_text(insert, 1, r[0].data(), static_cast<int>(r[0].size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, r[1].data(), static_cast<int>(r[1].size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) return false;
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  // LIKE is case-insensitive by default; with a NOCASE index a prefix LIKE becomes a range scan.
  return s.Exec("COMMIT; CREATE INDEX WordsEnglish ON Words (English COLLATE NOCASE); ANALYZE;") &&
         sqlite3_prepare_v2(s.db, "SELECT English, Meaning FROM Words WHERE English LIKE ?1", -1,
                            &s.query, nullptr) == SQLITE_OK;
}

// Every matching headword and the first meaning, as the word box needs them.
std::size_t SqliteLookup(Sqlite& s, const std::string& word, std::string& firstMeaning) {
  const std::string pattern = word + "%";
  sqlite3_reset(s.query);
  sqlite3_bind_text(s.query, 1, pattern.data(), static_cast<int>(pattern.size()), SQLITE_TRANSIENT);
  std::size_t count = 0, bytes = 0;
  while (sqlite3_step(s.query) == SQLITE_ROW) {
    bytes += static_cast<std::size_t>(sqlite3_column_bytes(s.query, 0));
    if (count++ == 0) firstMeaning.assign(reinterpret_cast<const char*>(sqlite3_column_text(s.query, 1)));
  }
  g_fetched = g_fetched + bytes;
  return count;
}

// The list alone, no meaning: what a lookup costs before its meaning's block is read.
std::size_t EngineListOnly(const kelvara::Dictionary& dict, const std::string& word, std::string&) {
  const kelvara::Matches m = kelvara::FindMatches(dict, word);
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < m.size(); ++i) bytes += m.Headword(i).size();
  g_fetched = g_fetched + bytes;
  return m.size();
}

std::size_t EngineLookup(const kelvara::Dictionary& dict, const std::string& word, std::string& firstMeaning) {
  const kelvara::SearchResult r = kelvara::SearchWords(dict, word);
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < r.matches.size(); ++i) bytes += r.matches.Headword(i).size();
  firstMeaning = r.meaningText;
  g_fetched = g_fetched + bytes;
  return r.matches.size();
}

// One meaning block's authenticated decryption, alone: the reader's own call (GcmOpener::Open,
// the header as associated data) on a sealed block of `size` bytes that stays in the cache.
// Microseconds a block, the median of batches.
double BlockDecryptionMicros(std::size_t size) {
  kelvara::crypto::Key key{};
  std::array<std::uint8_t, kelvara::crypto::kNonceSize> nonce{};
  std::vector<std::uint8_t> header(80), plain(size), sealed(size), out(size);
  std::array<std::uint8_t, kelvara::crypto::kTagSize> tag{};
  std::mt19937 rng(static_cast<std::uint32_t>(size));
  for (auto* bytes : {&header, &plain}) {
    for (std::uint8_t& b : *bytes) b = static_cast<std::uint8_t>(rng());
  }
  for (std::uint8_t& b : key) b = static_cast<std::uint8_t>(rng());
  if (!kelvara::crypto::AesGcmSeal(key, nonce, header, plain, sealed, tag)) return -1;
  kelvara::crypto::GcmOpener opener(key);
  constexpr int kBatch = 2000;
  std::vector<double> batches;
  for (int round = 0; round < 25; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
      if (opener.Open(nonce, header, sealed, tag, out) != kelvara::crypto::OpenStatus::Ok) return -1;
    }
    batches.push_back(Micros(Clock::now() - start) / kBatch);
  }
  return Summarize(batches).median;
}

}  // namespace

// In a process of its own: the dictionary opened, then 1,000 lookups of random headwords.
int MeasureMemory(const char* dbFile) {
  const double before = PrivateMb();
  kelvara::OpenResult opened = kelvara::Dictionary::Open(dbFile);
  if (!opened.dict) {
    std::fprintf(stderr, "kelvara-bench: %s\n", opened.message.c_str());
    return 1;
  }
  const kelvara::Dictionary& dict = *opened.dict;
  const double open = PrivateMb();
  std::mt19937 rng(14);
  std::uniform_int_distribution<std::size_t> anyPosition(0, dict.size() - 1);
  std::string meaning;
  for (int i = 0; i < 1000; ++i) EngineLookup(dict, std::string(dict.HeadwordAt(anyPosition(rng))), meaning);
  const double after = PrivateMb();
  const double indexMb = static_cast<double>(dict.HeadwordIndexBytes()) / (1024 * 1024);
  std::printf("private memory (RssAnon, fresh process): %.1f MB before opening, %.1f MB open, %.1f MB\n"
              "after 1,000 lookups; the dictionary adds %.1f MB; headword index %.1f MB in %zu blocks;\n"
              "goal (the process at most 10 MB + index = %.1f MB): %s\n",
              before, open, after, after - before, indexMb, dict.HeadwordBlocks(), 10 + indexMb,
              after <= 10 + indexMb ? "met" : "NOT met");
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--memory") return MeasureMemory(argv[2]);
  const std::string wordList = argc > 1 ? argv[1] : "/usr/share/dict/american-english-huge";
  const std::size_t wanted = argc > 2 ? std::stoul(argv[2]) : 300000;
  const std::size_t meaningBytes = argc > 3 ? std::stoul(argv[3]) : 0;
  const bool openOnly = argc > 4 && std::string(argv[4]) == "--open-only";
  std::mt19937 rng(kelvara::bench::kBenchSeed);
  std::vector<WordRow> rows = kelvara::bench::MakeBenchRows(wordList, wanted, rng, meaningBytes);
  if (rows.empty()) {
    std::fprintf(stderr, "kelvara-bench: cannot read the word list %s\n", wordList.c_str());
    return 2;
  }
  // A folder of this run's own: other benchmarks may run beside it.
  const auto dir = std::filesystem::temp_directory_path() / ("kelvara-bench-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto dbFile = dir / "Data.db";
  if (std::string e = kelvara::WriteDictionaryFile(dbFile, rows); !e.empty()) {
    std::fprintf(stderr, "kelvara-bench: %s\n", e.c_str());
    return 1;
  }
  std::printf("%zu headwords from %s; Data.db %.1f MB\n", rows.size(), wordList.c_str(),
              static_cast<double>(std::filesystem::file_size(dbFile)) / 1e6);
  std::uniform_int_distribution<std::size_t> anyRow(0, rows.size() - 1);

  // Opening: the whole path the program takes at start-up.
  std::vector<double> openTimes;
  std::unique_ptr<kelvara::Dictionary> dict;
  const double residentBefore = ResidentMb();
  for (int i = 0; i < 15; ++i) {
    dict.reset();
    const auto start = Clock::now();
    kelvara::OpenResult opened = kelvara::Dictionary::Open(dbFile);
    openTimes.push_back(Micros(Clock::now() - start));
    if (!opened.dict) {
      std::fprintf(stderr, "kelvara-bench: %s\n", opened.message.c_str());
      return 1;
    }
    dict = std::move(opened.dict);
  }
  const Stats open = Summarize(openTimes);
  const double residentOpen = ResidentMb() - residentBefore;

  std::printf("opening Data.db: median %.2f ms, p99 %.2f ms\n", open.median / 1000, open.p99 / 1000);
  {
    // Memory in a fresh process: this one's heap holds the rows it wrote.
    const std::string file = dbFile.string();
    char* child[] = {argv[0], const_cast<char*>("--memory"), const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, child, environ) != 0 || waitpid(pid, &status, 0) != pid ||
        status != 0) {
      std::fprintf(stderr, "kelvara-bench: the memory measurement failed\n");
    }
  }
  if (openOnly) {
    dict.reset();
    std::filesystem::remove_all(dir);
    return 0;
  }

  Sqlite sqlite;
  if (!FillSqlite(sqlite, dir / "words.sqlite", rows)) {
    std::fprintf(stderr, "kelvara-bench: SQLite: %s\n", sqlite3_errmsg(sqlite.db));
    return 1;
  }

  struct Kind {
    const char* name;
    std::vector<std::string> words;
  };
  std::vector<Kind> kinds = {{"1-letter prefix", {}}, {"2-letter prefix", {}},
                             {"3-letter prefix", {}}, {"whole word", {}}, {"w.w., list only", {}}};
  for (char c = 'a'; c <= 'z'; ++c) kinds[0].words.emplace_back(1, c);
  std::uniform_int_distribution<int> letter('a', 'z');
  for (int i = 0; i < 1000; ++i) {
    // Half random letters (often nothing matches), half taken from real headwords.
    kinds[1].words.push_back(i % 2 ? std::string{char(letter(rng)), char(letter(rng))}
                                   : kelvara::bench::Utf8Prefix(rows[anyRow(rng)][0], 2));
    kinds[2].words.push_back(i % 2 ? std::string{char(letter(rng)), char(letter(rng)), char(letter(rng))}
                                   : kelvara::bench::Utf8Prefix(rows[anyRow(rng)][0], 3));
    kinds[3].words.push_back(rows[anyRow(rng)][0]);
  }
  kinds[4].words = kinds[3].words;

  // Two orders: each engine's queries back to back (as when someone types, with little else
  // running between lookups), and the two interleaved, where each query finds the caches filled
  // with the other engine's data. Back to back, the mean CPU time a query (this thread's, over
  // the whole run of queries, timers included) is shown beside the wall-clock medians: on a
  // busy machine the wall clock also counts other processes' turns.
  bool goals = true;
  double wholeWordUs = 0, listOnlyUs = 0, sqliteWholeWordUs = 0;  // back to back
  for (const bool interleaved : {false, true}) {
    auto ourLookup = [&](const Kind& kind, const std::string& w, std::string& m) {
      return &kind == &kinds[4] ? EngineListOnly(*dict, w, m) : EngineLookup(*dict, w, m);
    };
    std::printf("\n%s\n%-16s %8s | %12s %12s | %12s %12s | %9s %9s%s\n",
                interleaved ? "interleaved, one query of each in turn:" : "back to back, each engine's queries in a row:",
                "query", "matches", "ours med us", "ours p99 us", "sqlite med", "sqlite p99", "ratio med",
                "ratio p99", interleaved ? "" : " | ours cpu sqlite cpu  ratio");
    for (const Kind& kind : kinds) {
      std::vector<double> ours(kind.words.size()), theirs(kind.words.size());
      std::vector<std::size_t> ourCounts(kind.words.size()), theirCounts(kind.words.size());
      std::string a, b;
      for (const std::string& w : kind.words) {  // warm both once
        ourLookup(kind, w, a);
        SqliteLookup(sqlite, w, b);
      }
      auto runOurs = [&](std::size_t i) {
        const auto start = Clock::now();
        ourCounts[i] = ourLookup(kind, kind.words[i], a);
        ours[i] = Micros(Clock::now() - start);
      };
      auto runTheirs = [&](std::size_t i) {
        const auto start = Clock::now();
        theirCounts[i] = SqliteLookup(sqlite, kind.words[i], b);
        theirs[i] = Micros(Clock::now() - start);
      };
      double ourCpu = 0, theirCpu = 0;  // mean CPU time a query, back to back only
      if (interleaved) {
        for (std::size_t i = 0; i < kind.words.size(); ++i) runOurs(i), runTheirs(i);
      } else {
        const double start = ThreadCpuMicros();
        for (std::size_t i = 0; i < kind.words.size(); ++i) runOurs(i);
        const double middle = ThreadCpuMicros();
        for (std::size_t i = 0; i < kind.words.size(); ++i) runTheirs(i);
        const double n = static_cast<double>(kind.words.size());
        ourCpu = (middle - start) / n;
        theirCpu = (ThreadCpuMicros() - middle) / n;
      }
      std::size_t matches = 0;
      for (std::size_t i = 0; i < kind.words.size(); ++i) {
        matches += ourCounts[i];
        // SQLite's LIKE ignores case in ASCII only; ours folds every script, so only ASCII
        // words must agree on the count.
        if (IsAscii(kind.words[i]) && ourCounts[i] != theirCounts[i]) {
          std::fprintf(stderr, "kelvara-bench: '%s': %zu matches here, %zu in SQLite\n",
                       kind.words[i].c_str(), ourCounts[i], theirCounts[i]);
          return 1;
        }
      }
      const Stats o = Summarize(ours), t = Summarize(theirs);
      const double ratioMedian = t.median / std::max(o.median, 0.001);
      const double ratioP99 = t.p99 / std::max(o.p99, 0.001);
      if (&kind != &kinds[4]) goals = goals && ratioMedian >= 20;
      if (!interleaved && &kind == &kinds[3]) wholeWordUs = o.median, sqliteWholeWordUs = t.median;
      if (!interleaved && &kind == &kinds[4]) listOnlyUs = o.median;
      std::printf("%-16s %8zu | %12.2f %12.2f | %12.2f %12.2f | %8.0fx %8.0fx", kind.name,
                  matches / kind.words.size(), o.median, o.p99, t.median, t.p99, ratioMedian, ratioP99);
      if (interleaved) {
        std::printf("\n");
      } else {
        std::printf(" | %8.2f %10.2f %5.0fx\n", ourCpu, theirCpu, theirCpu / std::max(ourCpu, 0.001));
      }
    }
  }
  // Where a whole word's time goes: the list, then its first row's meaning, whose block is read,
  // decrypted and authenticated (its cache holds a few blocks; random words find theirs cold).
  {
    std::vector<double> fetch, warmFetch;
    auto timedMeaning = [&](std::uint32_t row, std::vector<double>& times) {
      const auto start = Clock::now();
      const std::optional<std::string> meaning = dict->Meaning(row);
      times.push_back(Micros(Clock::now() - start));
      g_fetched = g_fetched + (meaning ? meaning->size() : 0);
    };
    for (const std::string& w : kinds[3].words) {
      const kelvara::Matches m = kelvara::FindMatches(*dict, w);
      if (m.empty()) continue;
      const std::uint32_t row = m.Row(0);
      timedMeaning(row, fetch);
      // Again with its bytes in the processor's cache but its block out of the dictionary's own
      // cache (rows far apart take the cache's four places): what is left is the reading itself.
      for (std::size_t k = 1; k <= 4; ++k) g_fetched = g_fetched + dict->Meaning((row + k * dict->size() / 5) % dict->size())->size();
      timedMeaning(row, warmFetch);
    }
    const double fetchUs = fetch.empty() ? 0 : Summarize(fetch).median;
    const double warmFetchUs = warmFetch.empty() ? 0 : Summarize(warmFetch).median;
    const double budget = sqliteWholeWordUs / 20;
    std::printf("\nwhole word, back to back: %.2f us = list %.2f us + first meaning %.2f us; 20x SQLite's "
                "%.2f us leaves %.2f us\n",
                wholeWordUs, listOnlyUs, wholeWordUs - listOnlyUs, sqliteWholeWordUs, budget);
    std::printf("  the first meaning alone (Dictionary::Meaning, block not cached): median %.2f us; again with\n"
                "  its bytes in the processor's cache: %.2f us (so %.2f us is waiting for memory)\n",
                fetchUs, warmFetchUs, fetchUs - warmFetchUs);
    std::printf("  one meaning block's authenticated decryption alone (cached bytes), by its size:");
    for (const std::size_t size : {64u, 256u, 1024u, 4096u}) std::printf(" %zu B %.2f us;", size, BlockDecryptionMicros(size));
    std::printf("\n  so the list leaves %.2f us of the budget for the meaning, which costs %.2f us\n",
                budget - listOnlyUs, wholeWordUs - listOnlyUs);
  }
  std::printf("\nopening Data.db: median %.2f ms, p99 %.2f ms (goal: under 100 ms); resident %.0f MB\n",
              open.median / 1000, open.p99 / 1000, residentOpen);
  std::printf("goals (every kind's median at least 20x SQLite's, opening under 100 ms): %s\n",
              goals && open.median < 100000 ? "met" : "NOT met");
  dict.reset();
  std::filesystem::remove_all(dir);
  return 0;
}
