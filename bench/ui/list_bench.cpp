// What a keystroke costs the main window when a prefix matches many headwords. Two parts, each
// against a baseline in the same process:
//  1. filling the result list: the virtual list (one LB_SETCOUNT) against a list box that
//     copies every match in (LB_ADDSTRING per match), for growing numbers of matches;
//  2. the whole keystroke in the real frmMain (query, list, meaning box, repaint) for prefixes
//     with many and few matches, against the copying list's fill alone.
// Under Wine every window call is a round trip to the window server, so on a busy machine the
// figures wander; best-of-N is printed beside the median for that reason. Asserts nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frmMain.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/SearchWords.h"
#include "toolkit/Application.h"
#include "toolkit/Utf.h"

using namespace kelvara;

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

struct Stats {
  double best, median;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2]};
}

// Headwords spread over the alphabet roughly as English spreads them.
std::vector<WordRow> MakeRows(size_t count) {
  const char* letters = "sscccppaabbddmmrrtteffghilnowuvkjqyzx";
  std::vector<WordRow> rows;
  rows.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    std::string word(1, letters[i % 37]);
    word += "word" + std::to_string(i);
    rows.push_back({word, "\xD9\x88\xD8\xA7\xDA\x98\xD9\x87 " + std::to_string(i)});
  }
  return rows;
}

void FillCopying(HWND list, const Matches& m, size_t n) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < n; ++i) {
    const std::wstring w = toolkit::Utf8ToWide(m.Headword(i % m.size()));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  UpdateWindow(list);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t count = argc > 1 ? static_cast<size_t>(_wtoi(argv[1])) : 300000;
  const int runs = 9;
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::filesystem::path folder = std::filesystem::path(tmp) / L"kelvara-keystroke-bench";
  std::filesystem::create_directories(folder);
  WriteOptions options;
  options.kdfIterations = 1000;
  if (const std::string e = WriteDictionaryFile(folder / L"Data.db", MakeRows(count), options);
      !e.empty()) {
    std::fprintf(stderr, "cannot write the dictionary: %s\n", e.c_str());
    return 1;
  }
  {
    frmMain form(frmMain::Startup{L"", {folder}});
    if (!form.Show()) return 1;
    HWND copying = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT,
                                   0, 0, 200, 100, form.hWnd(), nullptr, GetModuleHandleW(nullptr),
                                   nullptr);
    const SearchResult all = SearchWords(*form.DictDb(), "s");

    std::printf("1. filling the list (ms, best / median of %d)\n", runs);
    std::printf("%9s %22s %22s %8s\n", "entries", "virtual list", "copying list", "ratio");
    for (size_t n : {10u, 1000u, 10000u, 100000u}) {
      std::vector<double> ours, theirs;
      for (int run = 0; run < runs; ++run) {
        form.lstWords.SetCount(0);
        double t0 = Now();
        form.lstWords.SetCount(n);
        UpdateWindow(form.lstWords.hWnd());
        ours.push_back(Now() - t0);
        t0 = Now();
        FillCopying(copying, all.matches, n);
        theirs.push_back(Now() - t0);
      }
      const Stats a = Summarise(ours), b = Summarise(theirs);
      std::printf("%9zu %10.3f / %9.3f %10.3f / %9.3f %7.1fx\n", n, a.best, a.median, b.best,
                  b.median, b.median / a.median);
    }

    std::printf("\n2. one keystroke in the main window, %zu headwords (ms, best / median)\n", count);
    std::printf("%-8s %8s %22s %22s\n", "prefix", "matches", "frmMain keystroke", "copying fill");
    for (const wchar_t* prefix : {L"s", L"c", L"sword1", L"x", L"zzz"}) {
      std::vector<double> ours, theirs;
      size_t matches = 0;
      for (int run = 0; run < runs; ++run) {
        form.txtWord.SetText(L"q");  // another word first, so that every run does the work
        toolkit::Application::DoEvents();
        double t0 = Now();
        form.txtWord.SetText(prefix);
        UpdateWindow(form.hWnd());
        ours.push_back(Now() - t0);
        matches = form.WordsRs().matches.size();
        t0 = Now();
        if (matches) FillCopying(copying, form.WordsRs().matches, matches);
        theirs.push_back(Now() - t0);
      }
      const Stats a = Summarise(ours), b = Summarise(theirs);
      std::printf("%-8ls %8zu %10.3f / %9.3f %10.3f / %9.3f\n", prefix, matches, a.best, a.median,
                  b.best, b.median);
    }
    form.Unload();
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
