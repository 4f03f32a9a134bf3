// Cold start: the time from CreateProcess to the main window visible, and to the program waiting
// for input, for kelvara.exe with a large Data.db in its current folder, for kelvara.exe finding
// the bundled Data.db beside itself, and for a trivial Win32 window program, measured the same way
// in turns in one run. Prints medians, p99 and ratios to the trivial program.
//
//   kelvara-start-bench KELVARA_EXE BIG_FOLDER EMPTY_FOLDER TRIVIAL_EXE [TRIVIAL_CC6_EXE]
//                       [--runs N] [--big-label TEXT] [--compare OTHER_EXE]
//
// BIG_FOLDER holds the large Data.db, named in the table by TEXT (its headwords, say);
// EMPTY_FOLDER holds none, so the program falls back to the one beside it. TRIVIAL_CC6_EXE, the
// trivial window with the program's manifest, tells the cost of common controls 6 apart.
// OTHER_EXE, another build of kelvara.exe, is started in turn with the others from both folders,
// so that two builds are compared in the same conditions (the goal is judged on KELVARA_EXE).
// Each started program is closed with WM_CLOSE before the next starts.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "StartTiming.h"

namespace {

using namespace kelvara::bench;

struct Subject {
  std::string name;
  std::wstring exe, folder, title;
  std::vector<double> visible, idle;
};

std::wstring FullPath(const wchar_t* path) {
  std::wstring full(MAX_PATH * 4, L'\0');
  const DWORD n = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(n < full.size() ? n : 0);
  return full;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = 10;
  std::string bigLabel = "big Data.db";
  std::wstring other;
  std::vector<std::wstring> paths;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--runs" && i + 1 < argc) {
      runs = _wtoi(argv[++i]);
    } else if (arg == L"--compare" && i + 1 < argc) {
      other = FullPath(argv[++i]);
    } else if (arg == L"--big-label" && i + 1 < argc) {
      bigLabel.clear();
      for (const wchar_t* c = argv[++i]; *c; ++c) bigLabel += *c < 0x80 ? static_cast<char>(*c) : '?';
    } else {
      paths.push_back(FullPath(argv[i]));
    }
  }
  if (paths.size() < 4 || paths.size() > 5 || runs <= 0 || paths[0].empty()) {
    std::fprintf(stderr,
                 "usage: kelvara-start-bench KELVARA_EXE BIG_FOLDER EMPTY_FOLDER TRIVIAL_EXE\n"
                 "                           [TRIVIAL_CC6_EXE] [--runs N] [--big-label TEXT]\n"
                 "                           [--compare OTHER_EXE]\n");
    return 2;
  }
  std::vector<Subject> subjects = {
      {"trivial window", paths[3], paths[2], L"Kelvara Bench Window", {}, {}},
      {"kelvara, " + bigLabel, paths[0], paths[1], L"Kelvara Dictionary", {}, {}},
      {"kelvara, bundled", paths[0], paths[2], L"Kelvara Dictionary", {}, {}},
  };
  if (!other.empty()) {
    subjects.push_back({"compared, " + bigLabel, other, paths[1], L"Kelvara Dictionary", {}, {}});
    subjects.push_back({"compared, bundled", other, paths[2], L"Kelvara Dictionary", {}, {}});
  }
  if (paths.size() == 5)
    subjects.push_back({"trivial window, cc6", paths[4], paths[2], L"Kelvara Bench Window CC6", {}, {}});

  // One round unmeasured: files into the cache, the loader's first steps paid.
  for (const Subject& s : subjects) {
    const Launch l = StartAndClose(s.exe, s.folder, s.title);
    if (!l.ok) {
      std::fprintf(stderr, "kelvara-start-bench: %s: %s\n", s.name.c_str(), l.problem.c_str());
      return 1;
    }
  }
  for (int round = 0; round < runs; ++round) {
    for (std::size_t k = 0; k < subjects.size(); ++k) {
      Subject& s = subjects[(k + static_cast<std::size_t>(round)) % subjects.size()];
      const Launch l = StartAndClose(s.exe, s.folder, s.title);
      if (!l.ok) {
        std::fprintf(stderr, "kelvara-start-bench: %s: %s\n", s.name.c_str(), l.problem.c_str());
        return 1;
      }
      s.visible.push_back(l.visibleMs);
      s.idle.push_back(l.idleMs);
    }
  }

  const Summary baseVisible = Summarize(subjects[0].visible), baseIdle = Summarize(subjects[0].idle);
  std::printf("\n%-32s %4s | %9s %9s %7s | %9s %9s %7s\n", "start-up (ms)", "n", "shown med",
              "p99", "ratio", "idle med", "p99", "ratio");
  bool met = true;
  for (const Subject& s : subjects) {
    const Summary v = Summarize(s.visible), i = Summarize(s.idle);
    const double rv = Ratio(v.median, baseVisible.median), ri = Ratio(i.median, baseIdle.median);
    if (s.title == L"Kelvara Dictionary" && s.exe == paths[0]) met = met && rv <= 1.5;
    std::printf("%-32s %4zu | %9.1f %9.1f %6.2fx | %9.1f %9.1f %6.2fx\n", s.name.c_str(), v.count,
                v.median, v.p99, rv, i.median, i.p99, ri);
  }
  std::printf("\ngoal: main window shown within 1.5x the trivial window (medians): %s\n",
              met ? "met" : "NOT met");
  return 0;
}
