// The main window's lookup on a large dictionary: the time from a change of the word box to the
// list and the meaning drawn, in frmMain (whose list stores nothing and draws only what shows)
// and in a plain window that fills an ordinary list box with the same engine's results. Both
// run in this process, query by query in alternating order, so that the machine's load falls
// on both alike. Prints medians, p99 and ratios.
//
//   kelvara-ui-bench FOLDER [--rounds N] [--letter-rounds N] [--words N]
//
// FOLDER holds the Data.db to use (bench/win/run.sh makes one of 300,000 headwords).
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "BaselineWindow.h"
#include "BenchRows.h"
#include "BenchStats.h"
#include "ProcessCpu.h"
#include "Idle.h"
#include "frmMain.h"
#include "lookup/SearchWords.h"
#include "toolkit/Utf.h"

namespace {

namespace fs = std::filesystem;
using namespace kelvara;
using namespace kelvara::bench;

struct Options {
  fs::path folder;
  int rounds = 31;        // timed changes to the worst letter
  int letterRounds = 5;   // timed changes to each letter a..z
  int words = 300;        // timed whole words, and as many 2-letter prefixes
  bool profile = false;   // time the steps of a change instead
};

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto number = [&](int& into) {
      if (i + 1 >= argc) return false;
      into = _wtoi(argv[++i]);
      return into > 0;
    };
    if (arg == L"--rounds") {
      if (!number(o.rounds)) return false;
    } else if (arg == L"--letter-rounds") {
      if (!number(o.letterRounds)) return false;
    } else if (arg == L"--words") {
      if (!number(o.words)) return false;
    } else if (arg == L"--profile") {
      o.profile = true;
    } else if (o.folder.empty() && !arg.starts_with(L"--")) {
      o.folder = arg;
    } else {
      return false;
    }
  }
  return !o.folder.empty();
}

// The samples of one kind of query, in milliseconds.
struct Samples {
  std::vector<double> main, plain, plainRedrawOff;
  // The part of each change spent before the pump: the handler, without the drawing.
  std::vector<double> mainHandler, plainHandler;
  double mainCpu = 0, plainCpu = 0;  // CPU time of this process, summed
  std::size_t matches = 0;
};

class Harness {
 public:
  Harness(frmMain& main, BaselineWindow& plain, const Dictionary& dict)
      : main_(main), plain_(plain), dict_(dict) {}

  // Both windows to `word`, untimed: the state the next timed change starts from.
  void Settle(const std::wstring& word) {
    main_.txtWord.SetText(word);
    plain_.Lookup(dict_, word);
    PumpUntilIdle(main_.hWnd());
    PumpUntilIdle(plain_.hWnd());
  }

  // One timed change of each window's word box to `word` (and of the plain window with drawing
  // switched off, when asked), in an order that turns with `turn`; then checks that both show
  // the same. False, with the reason on stderr, when they do not.
  bool Measure(const std::wstring& word, Samples& into, bool withRedrawOff, int turn) {
    const int kinds = withRedrawOff ? 3 : 2;
    for (int k = 0; k < kinds; ++k) {
      switch ((k + turn) % kinds) {
        case 0: {
          const double cpu = ProcessCpuMs();
          into.main.push_back(TimeMain(word, into.mainHandler));
          into.mainCpu += ProcessCpuMs() - cpu;
          break;
        }
        case 1: {
          const double cpu = ProcessCpuMs();
          into.plain.push_back(TimePlain(word, false, &into.plainHandler));
          into.plainCpu += ProcessCpuMs() - cpu;
          break;
        }
        default: into.plainRedrawOff.push_back(TimePlain(word, true, nullptr)); break;
      }
      // The next window starts from a quiet queue too.
      PumpUntilIdle(nullptr);
    }
    into.matches += main_.WordsRs().matches.size();
    return Agree(word);
  }

 private:
  double TimeMain(const std::wstring& word, std::vector<double>& handler) {
    const auto start = Clock::now();
    main_.txtWord.SetText(word);
    handler.push_back(MillisSince(start));
    PumpUntilIdle(main_.hWnd());
    return MillisSince(start);
  }

  double TimePlain(const std::wstring& word, bool redrawOff, std::vector<double>* handler) {
    const auto start = Clock::now();
    plain_.Lookup(dict_, word, redrawOff);
    if (handler) handler->push_back(MillisSince(start));
    PumpUntilIdle(plain_.hWnd());
    return MillisSince(start);
  }

  bool Agree(const std::wstring& word) {
    const std::size_t expected = FindMatches(dict_, toolkit::WideToUtf8(word)).size();
    const int count = main_.lstWords.ListCount();
    const std::string w = toolkit::WideToUtf8(word);
    if (count < 0 || static_cast<std::size_t>(count) != expected || plain_.ListCount() != count) {
      std::fprintf(stderr, "kelvara-ui-bench: '%s': %zu matches, the main window lists %d, the plain list %d\n",
                   w.c_str(), expected, count, plain_.ListCount());
      return false;
    }
    for (int i : {0, count / 2, count - 1}) {
      if (count > 0 && main_.ListText(i) != plain_.ListText(i)) {
        std::fprintf(stderr, "kelvara-ui-bench: '%s': entry %d differs between the two lists\n", w.c_str(), i);
        return false;
      }
    }
    if (main_.txtExp.Text() != plain_.Meaning()) {
      std::fprintf(stderr, "kelvara-ui-bench: '%s': the two meaning boxes differ\n", w.c_str());
      return false;
    }
    return true;
  }

  frmMain& main_;
  BaselineWindow& plain_;
  const Dictionary& dict_;
};


fs::path ProgramFolder() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path).parent_path();
}

// Runs `step` n times; prints the median wall time and the mean CPU time of this process.
template <typename Step>
void ProfileStep(const char* name, int n, Step&& step) {
  std::vector<double> wall;
  const double cpu0 = ProcessCpuMs();
  for (int i = 0; i < n; ++i) {
    const auto start = Clock::now();
    step(i);
    wall.push_back(MillisSince(start));
  }
  const double cpu = (ProcessCpuMs() - cpu0) / n;
  const Summary s = Summarize(wall);
  std::printf("%-44s %5d | %9.3f %9.3f | %9.3f\n", name, n, s.median, s.p99, cpu);
}

// The steps of one change, each alone, many times over: where a change's time goes.
void Profile(frmMain& form, BaselineWindow& plain, const Dictionary& dict, const fs::path& dataFolder,
             wchar_t worst, int n) {
  const std::wstring letter(1, worst);
  const std::string letterUtf8(1, static_cast<char>(worst));
  const std::wstring word = toolkit::Utf8ToWide(dict.English(0));
  const std::wstring other = toolkit::Utf8ToWide(dict.English(1));
  const SearchResult big = SearchWords(dict, letterUtf8);
  const std::wstring meanings[2] = {toolkit::Utf8ToWide(dict.Meaning(0)), toolkit::Utf8ToWide(dict.Meaning(1))};
  std::printf("\n%-44s %5s | %9s %9s | %9s\n", "step (ms)", "n", "wall med", "p99", "cpu mean");
  ProfileStep("engine: SearchWords, worst letter", n, [&](int) { (void)SearchWords(dict, letterUtf8); });
  ProfileStep("engine: SearchWords, whole word", n,
              [&](int) { (void)SearchWords(dict, toolkit::WideToUtf8(word)); });
  ProfileStep("main list: SetCount, 1 <-> worst letter", n,
              [&](int i) { form.lstWords.SetCount(i % 2 ? 1 : big.matches.size()); });
  ProfileStep("main list: SetCount + drawing", n, [&](int i) {
    form.lstWords.SetCount(i % 2 ? 1 : big.matches.size());
    PumpUntilIdle(form.hWnd());
  });
  const SearchResult one = SearchWords(dict, toolkit::WideToUtf8(word));
  ProfileStep("plain list: refill, 1 <-> worst letter", n,
              [&](int i) { plain.FillList(i % 2 ? one.matches : big.matches); });
  ProfileStep("plain list: refill + drawing", n, [&](int i) {
    plain.FillList(i % 2 ? one.matches : big.matches);
    PumpUntilIdle(plain.hWnd());
  });
  const SearchResult second = SearchWords(dict, toolkit::WideToUtf8(other));
  ProfileStep("main list: SetCount 1 <-> 1 + drawing", n, [&](int) {
    form.lstWords.SetCount(1);
    PumpUntilIdle(form.hWnd());
  });
  ProfileStep("plain list: refill 1 <-> 1 + drawing", n, [&](int i) {
    plain.FillList(i % 2 ? one.matches : second.matches);
    PumpUntilIdle(plain.hWnd());
  });
  {
    // The word box's own part of an assignment, without the lookup behind it.
    auto handler = std::move(form.txtWord.onChange);
    form.txtWord.onChange = nullptr;
    ProfileStep("word box: SetText, no handler", n, [&](int i) { form.txtWord.SetText(i % 2 ? word : other); });
    ProfileStep("word box: SetText, no handler + drawing", n, [&](int i) {
      form.txtWord.SetText(i % 2 ? word : other);
      PumpUntilIdle(form.hWnd());
    });
    form.txtWord.onChange = std::move(handler);
  }
  ProfileStep("main list: raw LB_SETCOUNT, 1 <-> worst letter", n, [&](int i) {
    SendMessageW(form.lstWords.hWnd(), LB_SETCOUNT, i % 2 ? 1 : big.matches.size(), 0);
  });
  ProfileStep("main list: WM_SETREDRAW off and on", n, [&](int) {
    SendMessageW(form.lstWords.hWnd(), WM_SETREDRAW, FALSE, 0);
    SendMessageW(form.lstWords.hWnd(), WM_SETREDRAW, TRUE, 0);
  });
  ProfileStep("meaning box: raw SetWindowTextW", n,
              [&](int i) { SetWindowTextW(form.txtExp.hWnd(), meanings[i % 2].c_str()); });
  ProfileStep("meaning box: EM_SETSEL + EM_SCROLLCARET", n, [&](int) {
    SendMessageW(form.txtExp.hWnd(), EM_SETSEL, 0, 0);
    SendMessageW(form.txtExp.hWnd(), EM_SCROLLCARET, 0, 0);
  });
  ProfileStep("word box: Text()", n, [&](int) { (void)form.txtWord.Text(); });
  ProfileStep("button: SetEnabled(true), no change", n, [&](int) { form.Command3.SetEnabled(true); });
  ProfileStep("meaning box: SetText", n, [&](int i) { form.txtExp.SetText(meanings[i % 2]); });
  ProfileStep("meaning box: SetText + drawing", n, [&](int i) {
    form.txtExp.SetText(meanings[i % 2]);
    PumpUntilIdle(form.hWnd());
  });
  ProfileStep("pump with nothing to do", n, [&](int) { PumpUntilIdle(form.hWnd()); });
  // A whole main window again in this warm process: made, loaded, shown and drawn.
  for (const auto& [name, folder] : {std::pair{"new main window, this Data.db", dataFolder},
                                     std::pair{"new main window, bundled Data.db", ProgramFolder()}}) {
    if (!fs::exists(folder / L"Data.db")) continue;
    ProfileStep(name, std::max(n / 4, 5), [&, f = folder](int) {
      frmMain fresh(frmMain::Startup{L"", {f}});
      fresh.Show();
      PumpUntilIdle(fresh.hWnd());
    });
  }
  ProfileStep("main window: whole word <-> whole word", n,
              [&](int i) { form.txtWord.SetText(i % 2 ? word : other); });
  ProfileStep("  + drawing", n, [&](int i) {
    form.txtWord.SetText(i % 2 ? word : other);
    PumpUntilIdle(form.hWnd());
  });
  ProfileStep("main window: worst letter <-> whole word", n,
              [&](int i) { form.txtWord.SetText(i % 2 ? word : letter); });
  ProfileStep("  + drawing", n, [&](int i) {
    form.txtWord.SetText(i % 2 ? word : letter);
    PumpUntilIdle(form.hWnd());
  });
  ProfileStep("plain window: whole word <-> whole word", n,
              [&](int i) { plain.Lookup(dict, i % 2 ? word : other); });
  ProfileStep("  + drawing", n, [&](int i) {
    plain.Lookup(dict, i % 2 ? word : other);
    PumpUntilIdle(plain.hWnd());
  });
  ProfileStep("plain window: worst letter <-> whole word", n,
              [&](int i) { plain.Lookup(dict, i % 2 ? word : letter); });
  ProfileStep("  + drawing", n, [&](int i) {
    plain.Lookup(dict, i % 2 ? word : letter);
    PumpUntilIdle(plain.hWnd());
  });
}

void PrintHeader() {
  std::printf("\n%-20s %4s %7s | %8s %8s %8s %7s | %9s %8s %7s | %6s %6s %6s\n", "query (ms)", "n",
              "matches", "main med", "p99", "max", "cpu", "plain med", "p99", "cpu", "x med", "x p99",
              "x cpu");
}

Summary PrintRow(const char* name, const Samples& s) {
  const Summary m = Summarize(s.main), p = Summarize(s.plain);
  const double n = static_cast<double>(m.count ? m.count : 1);
  std::printf("%-20s %4zu %7zu | %8.3f %8.3f %8.3f %7.3f | %9.3f %8.3f %7.3f | %5.1fx %5.1fx %5.1fx\n",
              name, m.count, m.count ? s.matches / m.count : 0, m.median, m.p99, m.max, s.mainCpu / n,
              p.median, p.p99, s.plainCpu / n, Ratio(p.median, m.median), Ratio(p.p99, m.p99),
              Ratio(s.plainCpu, s.mainCpu));
  return m;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: kelvara-ui-bench FOLDER [--rounds N] [--letter-rounds N] [--words N]\n"
                 "  FOLDER holds the Data.db to look words up in\n");
    return 2;
  }
  // Checked here, in English: the main window would stop on a message box instead.
  {
    const OpenResult probe = Dictionary::Open(options.folder / L"Data.db");
    if (!probe.dict) {
      std::fprintf(stderr, "kelvara-ui-bench: %s\n", probe.message.c_str());
      return 1;
    }
  }

  InitCommonControls();
  frmMain form(frmMain::Startup{L"", {options.folder}});
  if (!form.Show() || !form.DictDb()) {
    std::fprintf(stderr, "kelvara-ui-bench: the main window did not load\n");
    return 1;
  }
  // The clipboard timer ticks every 2 ms on its own; left running it would be timed too.
  form.tmrClipboard.SetEnabled(false);
  RECT r{};
  GetWindowRect(form.hWnd(), &r);
  SetWindowPos(form.hWnd(), nullptr, 16, 16, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  BaselineWindow plain;
  if (!plain.Create(form, 16 + (r.right - r.left) + 24, 16)) {
    std::fprintf(stderr, "kelvara-ui-bench: the plain window could not be made\n");
    return 1;
  }
  const Dictionary& dict = *form.DictDb();
  Harness harness(form, plain, dict);
  std::printf("kelvara-ui-bench: %zu headwords; main window %ldx%ld pixels, %d list entries visible\n",
              dict.size(), r.right - r.left, r.bottom - r.top,
              form.lstWords.ItemHeight() > 0 ? form.lstWords.Height() / form.lstWords.ItemHeight() : 0);

  // The letter with the most matches, and random headwords to type.
  wchar_t worst = L'a';
  std::size_t worstCount = 0;
  for (wchar_t c = L'a'; c <= L'z'; ++c) {
    const std::size_t n = FindMatches(dict, std::string(1, static_cast<char>(c))).size();
    if (n > worstCount) worst = c, worstCount = n;
  }
  std::mt19937 rng(kBenchSeed);
  std::uniform_int_distribution<std::size_t> anyRow(0, dict.size() - 1);
  auto randomHeadword = [&] { return dict.English(anyRow(rng)); };

  // Every timed change starts from a short list, the one of a random whole word.
  auto measureAll = [&](const std::vector<std::wstring>& words, Samples& s, bool redrawOff) {
    for (std::size_t i = 0; i < words.size(); ++i) {
      harness.Settle(toolkit::Utf8ToWide(randomHeadword()));
      if (!harness.Measure(words[i], s, redrawOff, static_cast<int>(i))) return false;
    }
    return true;
  };
  auto settleWarm = [&] {
    for (int i = 0; i < 3; ++i) harness.Settle(std::wstring(1, worst));
  };

  if (options.profile) {
    Profile(form, plain, dict, options.folder, worst, std::max(options.rounds, 20));
    return 0;
  }

  Samples worstLetter, everyLetter, twoLetters, wholeWords;
  settleWarm();
  if (!measureAll(std::vector<std::wstring>(static_cast<std::size_t>(options.rounds), std::wstring(1, worst)),
                  worstLetter, true)) {
    return 3;
  }
  std::vector<std::wstring> letters;
  for (int k = 0; k < options.letterRounds; ++k)
    for (wchar_t c = L'a'; c <= L'z'; ++c) letters.emplace_back(1, c);
  std::shuffle(letters.begin(), letters.end(), rng);
  if (!measureAll(letters, everyLetter, false)) return 3;
  std::vector<std::wstring> prefixes, words;
  for (int i = 0; i < options.words; ++i) {
    prefixes.push_back(toolkit::Utf8ToWide(Utf8Prefix(std::string(randomHeadword()), 2)));
    words.push_back(toolkit::Utf8ToWide(randomHeadword()));
  }
  if (!measureAll(prefixes, twoLetters, false) || !measureAll(words, wholeWords, false)) return 3;

  PrintHeader();
  const std::string worstName = std::string("worst letter '") + static_cast<char>(worst) + "'";
  const Summary w = PrintRow(worstName.c_str(), worstLetter);
  const Summary e = PrintRow("every letter a-z", everyLetter);
  const Summary t = PrintRow("2-letter prefix", twoLetters);
  const Summary h = PrintRow("whole word", wholeWords);
  const Summary off = Summarize(worstLetter.plainRedrawOff);
  std::printf("%-20s %4zu %7s | %8s %8s %8s %7s | %9.3f %8.3f %7s | %5.1fx %5.1fx\n",
              "  plain, redraw off", off.count, "", "", "", "", "", off.median, off.p99, "",
              Ratio(off.median, w.median), Ratio(off.p99, w.p99));

  std::printf("\n%-20s | %14s %14s | %14s %14s\n", "medians (ms)", "main handler", "main drawing",
              "plain handler", "plain drawing");
  const std::pair<const char*, const Samples*> kinds[] = {{worstName.c_str(), &worstLetter},
      {"every letter a-z", &everyLetter}, {"2-letter prefix", &twoLetters}, {"whole word", &wholeWords}};
  auto drawing = [](const std::vector<double>& total, const std::vector<double>& handler) {
    std::vector<double> d;
    for (std::size_t i = 0; i < total.size() && i < handler.size(); ++i) d.push_back(total[i] - handler[i]);
    return Summarize(d).median;
  };
  for (const auto& [name, s] : kinds) {
    std::printf("%-20s | %14.3f %14.3f | %14.3f %14.3f\n", name, Summarize(s->mainHandler).median,
                drawing(s->main, s->mainHandler), Summarize(s->plainHandler).median,
                drawing(s->plain, s->plainHandler));
  }

  const double slowest = std::max({w.p99, e.p99, t.p99, h.p99});
  const double ratio = Ratio(Summarize(worstLetter.plain).median, w.median);
  std::printf("\ngoal: any prefix within 5 ms (p99 of every kind): %.3f ms: %s\n", slowest,
              slowest <= 5 ? "met" : "NOT met");
  std::printf("goal: at least 20x the plain list box on the worst 1-letter prefix (medians): %.1fx: %s\n",
              ratio, ratio >= 20 ? "met" : "NOT met");
  return 0;
}
