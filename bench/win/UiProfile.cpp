#include "UiProfile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "BenchStats.h"
#include "Idle.h"
#include "ProcessCpu.h"
#include "lookup/Resolve.h"
#include "lookup/SearchWords.h"
#include "lookup/Suggest.h"
#include "mMain.h"
#include "toolkit/Clipboard.h"
#include "toolkit/Utf.h"

namespace kelvara::bench {

namespace fs = std::filesystem;

namespace {

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

// The same step timed alone, then again with the drawing it causes in `window`.
template <typename Step>
void ProfileStepAndDrawing(const char* name, int n, HWND window, Step&& step) {
  ProfileStep(name, n, step);
  ProfileStep("  + drawing", n, [&](int i) {
    step(i);
    PumpUntilIdle(window);
  });
}

// The same, with `setup(i)` run before each step, untimed: the state the step meets.
template <typename Setup, typename Step>
void ProfileStepAfter(const char* name, int n, Setup&& setup, Step&& step) {
  std::vector<double> wall;
  double cpu = 0;
  for (int i = 0; i < n; ++i) {
    setup(i);
    const double cpu0 = ProcessCpuMs();
    const auto start = Clock::now();
    step(i);
    wall.push_back(MillisSince(start));
    cpu += ProcessCpuMs() - cpu0;
  }
  const Summary s = Summarize(wall);
  std::printf("%-44s %5d | %9.3f %9.3f | %9.3f\n", name, n, s.median, s.p99, cpu / n);
}

// A change to a word that matches nothing, split into its steps. Each step is timed after the
// main window was set to a random whole word and drawn, as the timed change starts; the steps
// of the window are given the lookup's result computed beforehand, so that they cost only
// their own part.
void ProfileNotFound(frmMain& form, const Dictionary& dict, const char* kind, const std::vector<std::wstring>& words) {
  if (words.empty()) return;
  const auto n = static_cast<int>(words.size());
  std::vector<std::wstring> wholeWords, meanings;
  std::vector<SearchResult> results;
  std::size_t suggestions = 0, within = 0, mostWithin = 0;
  for (int i = 0; i < n; ++i) {
    wholeWords.push_back(toolkit::Utf8ToWide(dict.English((static_cast<std::size_t>(i) * 7919u) % dict.size())));
    results.push_back(LookUpWord(dict, toolkit::WideToUtf8(words[static_cast<std::size_t>(i)])));
    meanings.push_back(toolkit::Utf8ToWide(results.back().meaningText));
    suggestions += results.back().suggestions.size();
    const std::size_t found = WithinTwoEdits(dict, toolkit::WideToUtf8(words[static_cast<std::size_t>(i)])).size();
    within += found;
    mostWithin = std::max(mostWithin, found);
  }
  std::printf("\n%s: %d words, %.1f suggestions and %.1f headwords within two edits on average (at most %zu)\n",
              kind, n, static_cast<double>(suggestions) / n, static_cast<double>(within) / n, mostWithin);
  const auto at = [](int i) { return static_cast<std::size_t>(i); };
  const auto utf8 = [&](int i) { return toolkit::WideToUtf8(words[at(i)]); };
  const auto afterWholeWord = [&](int i) {
    form.txtWord.SetText(wholeWords[at(i)]);
    PumpUntilIdle(form.hWnd());
  };
  ProfileStepAfter("engine: SearchWords (finds nothing)", n, afterWholeWord, [&](int i) { (void)SearchWords(dict, utf8(i)); });
  ProfileStepAfter("engine: BaseFormHeadword", n, afterWholeWord, [&](int i) { (void)BaseFormHeadword(dict, utf8(i)); });
  ProfileStepAfter("engine: WithinTwoEdits (the walk)", n, afterWholeWord, [&](int i) { (void)WithinTwoEdits(dict, utf8(i)); });
  ProfileStepAfter("engine: SpellingSuggestions (walk + rank)", n, afterWholeWord,
                   [&](int i) { (void)SpellingSuggestions(dict, utf8(i)); });
  ProfileStepAfter("engine: LookUpWord", n, afterWholeWord, [&](int i) { (void)LookUpWord(dict, utf8(i)); });
  // The slowest lookups and how many headwords each ranks (those at the distances that reach the
  // list): ranking reads a meaning for each.
  {
    struct Slow {
      double ms;
      std::size_t ranked;
      int i;
    };
    std::vector<Slow> slow;
    for (int i = 0; i < n; ++i) {
      afterWholeWord(i);
      const auto start = Clock::now();
      (void)LookUpWord(dict, utf8(i));
      const double ms = MillisSince(start);
      const std::vector<SpellingMatch> found = WithinTwoEdits(dict, utf8(i));
      std::size_t ranked = 0, listed = 0;
      for (int distance = 0; distance <= kMostEdits && listed < kMostSuggestions; ++distance) {
        const auto atDistance = static_cast<std::size_t>(
            std::count_if(found.begin(), found.end(), [&](const SpellingMatch& m) { return m.distance == distance; }));
        ranked += atDistance;
        listed += atDistance;
      }
      slow.push_back({ms, ranked, i});
    }
    std::sort(slow.begin(), slow.end(), [](const Slow& a, const Slow& b) { return a.ms > b.ms; });
    std::printf("  slowest LookUpWord:");
    for (std::size_t k = 0; k < std::min<std::size_t>(slow.size(), 6); ++k)
      std::printf(" %.2f ms (%zu ranked)", slow[k].ms, slow[k].ranked);
    std::printf("\n");
    const Slow& worstWord = slow.front();
    const std::vector<SpellingMatch> found = WithinTwoEdits(dict, utf8(worstWord.i));
    ProfileStepAfter("engine: Commonness of the slowest's matches", 20, afterWholeWord, [&](int) {
      for (const SpellingMatch& m : found) (void)Commonness(dict, m.position);
    });
  }
  ProfileStepAfter("engine: LookUpWord, just done once more", n,
                   [&](int i) {
                     afterWholeWord(i);
                     (void)LookUpWord(dict, utf8(i));
                   },
                   [&](int i) { (void)LookUpWord(dict, utf8(i)); });
  ProfileStepAfter("word box: SetText, no handler", n, afterWholeWord, [&](int i) {
    auto handler = std::move(form.txtWord.onChange);
    form.txtWord.onChange = nullptr;
    form.txtWord.SetText(words[at(i)]);
    form.txtWord.onChange = std::move(handler);
  });
  // Each window step alone, then with the drawing it causes.
  const auto withDrawing = [&](const char* name, const auto& step) {
    ProfileStepAfter(name, n, afterWholeWord, step);
    ProfileStepAfter("  + drawing", n, afterWholeWord, [&](int i) {
      step(i);
      PumpUntilIdle(form.hWnd());
    });
  };
  withDrawing("list: SetCount(suggestions)", [&](int i) { form.lstWords.SetCount(results[at(i)].suggestions.size()); });
  withDrawing("meaning box: SetText(not-found text)", [&](int i) { form.txtExp.SetText(meanings[at(i)]); });
  withDrawing("button: SetEnabled as after the change",
              [&](int i) { form.Command3.SetEnabled(!results[at(i)].suggestions.empty()); });
  withDrawing("main window: the whole change (handler)", [&](int i) { form.txtWord.SetText(words[at(i)]); });
  ProfileStepAfter("main window: whole word -> whole word + drawing", n, afterWholeWord, [&](int i) {
    form.txtWord.SetText(wholeWords[at((i + 1) % n)]);
    PumpUntilIdle(form.hWnd());
  });
}

}  // namespace

void Profile(frmMain& form, BaselineWindow& plain, const Dictionary& dict, const fs::path& dataFolder,
             wchar_t worst, int n, const std::vector<std::wstring>& typoWords, const std::vector<std::wstring>& nonsenseWords, bool notFoundOnly) {
  std::printf("\n%-44s %5s | %9s %9s | %9s\n", "not-found steps (ms)", "n", "wall med", "p99", "cpu mean");
  ProfileNotFound(form, dict, "typos", typoWords);
  ProfileNotFound(form, dict, "20 random letters", nonsenseWords);
  if (notFoundOnly) return;
  const std::wstring letter(1, worst);
  const std::string letterUtf8(1, static_cast<char>(worst));
  const std::wstring word = toolkit::Utf8ToWide(dict.English(0));
  const std::wstring other = toolkit::Utf8ToWide(dict.English(1));
  const SearchResult big = SearchWords(dict, letterUtf8);
  const std::wstring meanings[2] = {toolkit::Utf8ToWide(dict.Meaning(0).value_or("")), toolkit::Utf8ToWide(dict.Meaning(1).value_or(""))};
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
              [&](int i) { plain.FillList(i % 2 ? one.matches : big.matches, true); });
  ProfileStep("plain list: refill + drawing", n, [&](int i) {
    plain.FillList(i % 2 ? one.matches : big.matches, true);
    PumpUntilIdle(plain.hWnd());
  });
  const SearchResult second = SearchWords(dict, toolkit::WideToUtf8(other));
  ProfileStep("main list: SetCount 1 <-> 1 + drawing", n, [&](int) {
    form.lstWords.SetCount(1);
    PumpUntilIdle(form.hWnd());
  });
  ProfileStep("plain list: refill 1 <-> 1 + drawing", n, [&](int i) {
    plain.FillList(i % 2 ? one.matches : second.matches, true);
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
  // Steps of the loading that the window runs again for each new main window.
  ProfileStep("loading: clipboard text taken as seen", n, [&](int) { (void)toolkit::Clipboard::GetText(); });
  ProfileStep("loading: window icons", n, [&](int) { SetWindowIcons(form.hWnd(), L"AAA", true); });
  ProfileStep("new main window, made only (no loading)", std::max(n / 4, 5), [&](int) {
    frmMain fresh(frmMain::Startup{L"", {dataFolder}});
    fresh.Create();
  });
  ProfileStepAndDrawing("main window: whole word <-> whole word", n, form.hWnd(),
                        [&](int i) { form.txtWord.SetText(i % 2 ? word : other); });
  ProfileStepAndDrawing("main window: worst letter <-> whole word", n, form.hWnd(),
                        [&](int i) { form.txtWord.SetText(i % 2 ? word : letter); });
  // Nothing found: the suggestions are listed and written below the not-found message, which
  // then takes more lines than the meaning box shows.
  const std::wstring typo = L"recieve", nonsense = L"qzxvbnmlkjhgfdsapoiu";
  const SearchResult missed = LookUpWord(dict, toolkit::WideToUtf8(typo));
  const std::wstring missedMeaning = toolkit::Utf8ToWide(missed.meaningText);
  std::printf("('%s': %zu matches, %zu suggestions)\n", toolkit::WideToUtf8(typo).c_str(), missed.matches.size(),
              missed.suggestions.size());
  ProfileStep("engine: LookUpWord, typo", n, [&](int) { (void)LookUpWord(dict, toolkit::WideToUtf8(typo)); });
  ProfileStep("engine: LookUpWord, 20 letters", n, [&](int) { (void)LookUpWord(dict, toolkit::WideToUtf8(nonsense)); });
  ProfileStepAndDrawing("meaning box: SetText, whole word <-> typo", n, form.hWnd(),
                        [&](int i) { form.txtExp.SetText(i % 2 ? meanings[0] : missedMeaning); });
  ProfileStepAndDrawing("main window: whole word <-> typo", n, form.hWnd(),
                        [&](int i) { form.txtWord.SetText(i % 2 ? word : typo); });
  ProfileStepAndDrawing("main window: whole word <-> 20 letters", n, form.hWnd(),
                        [&](int i) { form.txtWord.SetText(i % 2 ? word : nonsense); });
  ProfileStepAndDrawing("plain window: whole word <-> whole word", n, plain.hWnd(),
                        [&](int i) { plain.Lookup(dict, i % 2 ? word : other, true); });
  ProfileStepAndDrawing("plain window: worst letter <-> whole word", n, plain.hWnd(),
                        [&](int i) { plain.Lookup(dict, i % 2 ? word : letter, true); });
}

}  // namespace kelvara::bench
