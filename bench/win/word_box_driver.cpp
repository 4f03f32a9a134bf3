// Looks words up in the running program through its word box, as typing would: N headwords
// chosen at random from DATA_DB (the same choice as kelvara-open-bench's memory run) are set into
// the main window's word box one after another with WM_SETTEXT, whose change notification runs
// the lookup inside the program. Each lookup must show a list; the program is left running, so
// that the script can read its memory afterwards.
//
//   kelvara-word-box-driver DATA_DB [--lookups N]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <random>
#include <string>

#include "lookup/Dictionary.h"

namespace {

constexpr wchar_t kMainTitle[] = L"Kelvara Dictionary";
constexpr int kWordBoxId = 100, kListId = 102;
constexpr UINT kSendTimeoutMs = 5000;

struct ChildSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(w) != s->id) return TRUE;
  s->found = w;
  return FALSE;
}

HWND Child(HWND top, int id) {
  ChildSearch s{id, nullptr};
  EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

bool Send(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(w, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer)) return false;
  result = static_cast<LRESULT>(answer);
  return true;
}

std::wstring Wide(std::string_view utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  long lookups = 1000;
  std::filesystem::path file;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--lookups") == 0 && i + 1 < argc) {
      lookups = std::wcstol(argv[++i], nullptr, 10);
    } else {
      file = argv[i];
    }
  }
  if (file.empty() || lookups < 0) {
    std::fprintf(stderr, "usage: kelvara-word-box-driver DATA_DB [--lookups N]\n");
    return 2;
  }
  const kelvara::OpenResult opened = kelvara::Dictionary::Open(file);
  if (!opened.dict || opened.dict->size() == 0) {
    std::fprintf(stderr, "kelvara-word-box-driver: %s\n",
                 opened.dict ? "the dictionary is empty" : opened.message.c_str());
    return 1;
  }
  const kelvara::Dictionary& dict = *opened.dict;
  const HWND main = FindWindowW(L"KelvaraForm", kMainTitle);
  const HWND word = main ? Child(main, kWordBoxId) : nullptr;
  const HWND list = main ? Child(main, kListId) : nullptr;
  if (!word || !list) {
    std::fprintf(stderr, "kelvara-word-box-driver: no main window with a word box and a list\n");
    return 1;
  }
  std::mt19937 rng(14);
  std::uniform_int_distribution<std::size_t> anyPosition(0, dict.size() - 1);
  long done = 0;
  for (; done < lookups; ++done) {
    const std::wstring text = Wide(dict.HeadwordAt(anyPosition(rng)));
    LRESULT ignored = 0, items = 0;
    if (!Send(word, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), ignored) ||
        !Send(list, LB_GETCOUNT, 0, 0, items) || items <= 0) {
      std::fprintf(stderr, "kelvara-word-box-driver: lookup %ld shows no list\n", done + 1);
      return 1;
    }
  }
  std::printf("kelvara-word-box-driver: %ld lookups set into the word box; headword index %.1f MB\n", done,
              static_cast<double>(dict.HeadwordIndexBytes()) / (1024 * 1024));
  return 0;
}
