// The probe's soak commands: many repetitions of one kind of use, driven from inside the Wine
// desktop, where a step costs milliseconds instead of the tenth of a second that starting a
// Wine process for every step would. Each step waits for its visible outcome before the next;
// a step whose outcome never comes ends the run with a report of where it stopped.
//
// The keys come through SendInput (what a real keyboard gives the program), the tray icon's
// double click as the notification the shell sends, the list clicks as the mouse messages the
// list receives, Options and About through their buttons.
#include "Soak.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "Counters.h"
#include "Json.h"
#include "Responsiveness.h"

namespace {

constexpr wchar_t kMainTitle[] = L"Kelvara Dictionary";
constexpr int kWordBoxId = 100, kMeaningId = 101, kListId = 102;
constexpr wchar_t kNotFound[] = L"کلمه مورد نظر يافت نشد.";
constexpr wchar_t kOptionsTitle[] = L"Options";
constexpr wchar_t kAboutTitle[] = L"About Dictionary";
constexpr wchar_t kOptionsButton[] = L"اختيارات";
constexpr wchar_t kAboutButton[] = L"...درباره";
constexpr wchar_t kSave[] = L"ذخيره";
constexpr wchar_t kCancel[] = L"انصراف";
constexpr wchar_t kOk[] = L"تاييد";
constexpr UINT kTrayCallback = WM_MOUSEMOVE;  // the tray icon's callback message
constexpr DWORD kStepTimeoutMs = 8000;
constexpr UINT kSendTimeoutMs = 5000;

void Print(const std::string& utf8) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
            &written, nullptr);
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\n", 1, &written, nullptr);
}

LRESULT Send(HWND w, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(w, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer);
  return static_cast<LRESULT>(answer);
}

std::wstring TextOf(HWND w) {
  const LRESULT length = Send(w, WM_GETTEXTLENGTH);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = Send(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

struct Search {
  DWORD pid;
  const wchar_t* title;  // exact title, or null
  const wchar_t* cls;    // exact class, or null
  bool visibleOnly;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTop(HWND w, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (s->pid && pid != s->pid) return TRUE;
  if (s->visibleOnly && !IsWindowVisible(w)) return TRUE;
  if (s->cls) {
    wchar_t name[64]{};
    GetClassNameW(w, name, 64);
    if (lstrcmpiW(name, s->cls) != 0) return TRUE;
  }
  if (s->title && TextOf(w) != s->title) return TRUE;
  s->found = w;
  return FALSE;
}

HWND FindTop(DWORD pid, const wchar_t* title, const wchar_t* cls = nullptr,
             bool visibleOnly = false) {
  Search s{pid, title, cls, visibleOnly};
  EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

struct ChildSearch {
  int id;
  const wchar_t* text;
  HWND found = nullptr;
};

BOOL CALLBACK MatchChild(HWND w, LPARAM lParam) {
  auto* s = reinterpret_cast<ChildSearch*>(lParam);
  if (s->text ? TextOf(w) == s->text : GetDlgCtrlID(w) == s->id) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

HWND Child(HWND top, int id) {
  ChildSearch s{id, nullptr};
  EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND ChildByText(HWND top, const wchar_t* text) {
  ChildSearch s{0, text};
  EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kStepTimeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(5);
  }
}

void Keys(std::initializer_list<std::pair<WORD, bool>> strokes) {
  std::vector<INPUT> inputs;
  for (const auto& [key, up] : strokes) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool InTray(HWND main) { return !IsWindowVisible(main) && IsIconic(main); }
bool Shown(HWND main) { return IsWindowVisible(main) && !IsIconic(main); }

// The tray object's hidden window: a top-level STATIC window of the program without a title.
HWND TrayWindow(DWORD pid) { return FindTop(pid, L"", L"Static"); }

// How a run ended: the steps done and, when one failed, which and why.
struct Outcome {
  long done = 0;
  std::string failure;
  long extra = 0;  // a figure of the workload's own (list clicks, foreign clipboard changes)
  const char* extraName = nullptr;
};

int Report(const char* workload, const Outcome& o) {
  JsonWriter json;
  json.BeginObject()
      .Field("workload", workload)
      .Field("done", static_cast<int64_t>(o.done))
      .Field("ok", o.failure.empty())
      .Field("failure", std::string_view(o.failure));
  if (o.extraName) json.Field(o.extraName, static_cast<int64_t>(o.extra));
  json.EndObject();
  Print(json.str());
  return o.failure.empty() ? 0 : 1;
}

HWND MainWindow(Outcome& o) {
  HWND main = FindTop(0, kMainTitle, L"KelvaraForm");
  if (!main) o.failure = "no main window";
  return main;
}

DWORD PidOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

// --- hide to the tray and back

bool HideBy(HWND main, int how, DWORD timeoutMs = kStepTimeoutMs) {
  if (how == 0) {
    // Escape, as the window's message loop receives it from the keyboard (key preview takes it
    // before the focused control). Posted rather than synthesised: a synthesised key goes to
    // whichever window has the focus, and a window just restored may not have it back yet.
    HWND target = GetWindow(main, GW_CHILD) ? GetWindow(main, GW_CHILD) : main;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001));
  } else {
    // The minimise button: the same system command its click gives.
    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  }
  return WaitUntil([&] { return InTray(main); }, timeoutMs);
}

bool RestoreBy(HWND main, int how, DWORD timeoutMs = kStepTimeoutMs) {
  if (how == 0) {
    // A double click on the tray icon, as the shell reports one. Hiding swaps one tray object
    // for another while the window is already hidden: the icon to click is the one that stays.
    HWND tray = nullptr;
    if (!WaitUntil([&] {
          HWND now = TrayWindow(PidOf(main));
          const bool stable = now && now == tray;
          tray = now;
          if (!stable) Sleep(30);
          return stable;
        })) {
      return false;
    }
    for (UINT code : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      PostMessageW(tray, kTrayCallback, 0, code);
  } else {
    Keys({{VK_SHIFT, false}, {VK_F9, false}, {VK_F9, true}, {VK_SHIFT, true}});
  }
  return WaitUntil([&] { return Shown(main); }, timeoutMs);
}

int SoakTray(long cycles) {
  Outcome o;
  o.extraName = "retried";
  HWND main = MainWindow(o);
  for (long i = 0; main && i < cycles; ++i) {
    // Escape and the minimise button in turn, double click and Shift+F9 in turn, so that all
    // four pairings come round.
    const int hide = static_cast<int>(i % 2), restore = static_cast<int>((i / 2) % 2);
    // Under a heavy load a step now and then takes longer than a second: it is tried a second
    // time, and counted, before the run fails.
    bool hidden = HideBy(main, hide, 1000);
    if (!hidden) {
      ++o.extra;
      hidden = HideBy(main, hide, kStepTimeoutMs);
    }
    if (!hidden) {
      o.failure = hide == 0 ? "Escape did not hide the window" : "minimising did not hide it";
      break;
    }
    Sleep(40);  // as a user's next action, not within the same instant
    bool back = RestoreBy(main, restore, 1000);
    if (!back) {
      ++o.extra;
      back = RestoreBy(main, restore, kStepTimeoutMs);
    }
    if (!back) {
      o.failure = restore == 0 ? "a double click did not bring the window back"
                               : "Shift+F9 did not bring the window back";
      break;
    }
    Sleep(40);
    ++o.done;
  }
  return Report("tray", o);
}

// --- lookups

// Words across the whole alphabet: one to four letters from a small generator, so every
// initial letter and many second letters come round; some match, many do not.
std::wstring NthWord(long i) {
  unsigned long x = static_cast<unsigned long>(i) * 2654435761u + 12345u;
  std::wstring word(1, static_cast<wchar_t>(L'a' + i % 26));
  const int extra = static_cast<int>((x >> 7) % 4);
  for (int k = 0; k < extra; ++k) {
    x = x * 1103515245u + 12345u;
    word += static_cast<wchar_t>(L'a' + (x >> 16) % 26);
  }
  return word;
}

int SoakLookups(long count, long clickEvery) {
  Outcome o;
  o.extraName = "list_clicks";
  HWND main = MainWindow(o);
  HWND word = main ? Child(main, kWordBoxId) : nullptr;
  HWND meaning = main ? Child(main, kMeaningId) : nullptr;
  HWND list = main ? Child(main, kListId) : nullptr;
  if (main && !(word && meaning && list)) o.failure = "the main window's controls are missing";
  bool clickDue = false;  // a list click is due at the next lookup that lists something
  for (long i = 0; o.failure.empty() && main && i < count; ++i) {
    const std::wstring text = NthWord(i);
    Send(word, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));  // the lookup runs inside
    const LRESULT items = Send(list, LB_GETCOUNT);
    const bool notFound = TextOf(meaning) == kNotFound;
    if (TextOf(word) != text || (items == 0) != notFound) {
      o.failure = "the lookup of '" + ToUtf8(text) + "' shows " + std::to_string(items) +
                  " entries and " + (notFound ? "not found" : "a meaning");
      break;
    }
    if (clickEvery > 0 && i % clickEvery == 0) clickDue = true;
    if (clickDue && items > 0) {
      clickDue = false;
      // A click on one of the first entries: the word box takes the headword and looks it up.
      const LRESULT top = Send(list, LB_GETTOPINDEX);
      const WPARAM index = static_cast<WPARAM>(top + (i / clickEvery) % (items - top > 3 ? 3 : 1));
      RECT r{};
      if (Send(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
        o.failure = "no rectangle for a list entry";
        break;
      }
      const LPARAM at = MAKELPARAM(r.left + 6, (r.top + r.bottom) / 2);
      PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageW(list, WM_LBUTTONUP, 0, at);
      // The clicked headword comes into the word box wholly selected; text set from outside
      // leaves the caret at its start with nothing selected.
      if (!WaitUntil([&] {
            const LRESULT selection = Send(word, EM_GETSEL);
            const LRESULT length = Send(word, WM_GETTEXTLENGTH);
            return length > 0 && LOWORD(selection) == 0 && HIWORD(selection) == length;
          })) {
        o.failure = "a click on the list after '" + ToUtf8(text) + "' did nothing";
        break;
      }
      ++o.extra;
    }
    ++o.done;
  }
  return Report("lookups", o);
}

// --- clipboard

HWND OwnerWindow() {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"kelvara-probe clipboard", 0, 0, 0, 0, 0,
                                      HWND_MESSAGE, nullptr, nullptr, nullptr);
  return owner;
}

bool OpenOwned() {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (OpenClipboard(OwnerWindow())) return true;
    Sleep(10);
  }
  return false;
}

bool CopyText(const std::wstring& text) {
  if (!OpenOwned()) return false;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool ok = false;
  if (block) {
    memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  return ok;
}

bool CopyPicture() {
  if (!OpenOwned()) return false;
  EmptyClipboard();
  constexpr int kSide = 8;
  const size_t bytes = sizeof(BITMAPINFOHEADER) + kSide * kSide * 4;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  bool ok = false;
  if (block) {
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = kSide;
    header->biHeight = kSide;
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = BI_RGB;
    GlobalUnlock(block);
    ok = SetClipboardData(CF_DIB, block) != nullptr;
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  return ok;
}

bool CopyNothing() {
  if (!OpenOwned()) return false;
  EmptyClipboard();
  CloseClipboard();
  return true;
}

std::vector<std::wstring> SplitWords(const wchar_t* list) {
  std::vector<std::wstring> words;
  std::wstring current;
  for (const wchar_t* p = list; *p; ++p) {
    if (*p == L',') {
      if (!current.empty()) words.push_back(current);
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty()) words.push_back(current);
  return words;
}

// MODE: "shown" (the window stays on the screen), "balloon" (in the tray with balloons on: the
// window stays hidden) or "restore" (in the tray with balloons off: each copy brings the window
// back, and the probe sends it to the tray again). Of every ten changes, seven are words, one a
// long text, one a picture and one an empty clipboard. Between the probe's own copies the
// clipboard's sequence number must not move: the program never changes the clipboard.
int SoakClipboard(long changes, const std::wstring& mode, const wchar_t* wordList) {
  Outcome o;
  o.extraName = "foreign_changes";
  HWND main = MainWindow(o);
  HWND word = main ? Child(main, kWordBoxId) : nullptr;
  const std::vector<std::wstring> words = SplitWords(wordList);
  if (words.size() < 2) o.failure = "at least two words are needed";
  const bool inTray = mode != L"shown";
  std::wstring last = word ? TextOf(word) : std::wstring();
  DWORD settled = GetClipboardSequenceNumber();
  for (long i = 0; o.failure.empty() && main && word && i < changes; ++i) {
    if (inTray && !InTray(main) && !HideBy(main, 1)) {
      o.failure = "the window would not go to the tray";
      break;
    }
    if (GetClipboardSequenceNumber() != settled) ++o.extra;
    const int kind = static_cast<int>(i % 10);
    std::wstring text;
    if (kind == 3) {
      // A long text: a paragraph of a few kilobytes, different each time.
      for (int k = 0; k < 60; ++k) text += L"a long copied paragraph of several lines\r\n";
      text += std::to_wstring(i);
    } else if (kind < 8) {
      text = words[static_cast<size_t>(i) % words.size()];
      if (text == last) text = words[(static_cast<size_t>(i) + 1) % words.size()];
    }
    bool copied = kind == 8 ? CopyPicture() : kind == 9 ? CopyNothing() : CopyText(text);
    if (!copied) {
      o.failure = "the probe could not copy (change " + std::to_string(i) + ")";
      break;
    }
    if (text.empty()) {
      // Nothing to look up: after two reads of the watcher the word is still the last one.
      Sleep(250);
      if (TextOf(word) != last) {
        o.failure = kind == 8 ? "a picture changed the word" : "an empty clipboard changed the word";
        break;
      }
    } else {
      if (!WaitUntil([&] { return TextOf(word) == text; })) {
        o.failure = "the copy " + std::to_string(i) + " never reached the word box";
        break;
      }
      last = text;
      if (mode == L"balloon" && !InTray(main)) {
        o.failure = "with balloons on, a copy brought the window out of the tray";
        break;
      }
      if (mode == L"restore" && !WaitUntil([&] { return Shown(main); })) {
        o.failure = "with balloons off, a copy did not bring the window back";
        break;
      }
      if (mode == L"shown" && !Shown(main)) {
        o.failure = "the shown window left the screen";
        break;
      }
    }
    // The platform's own bookkeeping of the change may take a moment to settle.
    Sleep(20);
    settled = GetClipboardSequenceNumber();
    ++o.done;
  }
  Sleep(400);
  if (GetClipboardSequenceNumber() != settled) ++o.extra;
  return Report("clipboard", o);
}

// --- Options and About

bool OpenAndClose(HWND main, const wchar_t* button, const wchar_t* title, const wchar_t* close,
                  std::string& failure) {
  HWND opener = ChildByText(main, button);
  if (!opener) {
    failure = "no button to open " + ToUtf8(title);
    return false;
  }
  const DWORD pid = PidOf(main);
  PostMessageW(opener, BM_CLICK, 0, 0);
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return (dialog = FindTop(pid, title, nullptr, true)) != nullptr; })) {
    failure = ToUtf8(title) + " did not open";
    return false;
  }
  HWND button2 = nullptr;
  if (!WaitUntil([&] { return (button2 = ChildByText(dialog, close)) != nullptr; })) {
    failure = ToUtf8(title) + " has no button " + ToUtf8(close);
    return false;
  }
  PostMessageW(button2, BM_CLICK, 0, 0);
  if (!WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
    failure = ToUtf8(title) + " did not close";
    return false;
  }
  // The modal loop has ended once the main window takes input again.
  if (!WaitUntil([&] { return IsWindowEnabled(main) != FALSE; })) {
    failure = "the main window stayed disabled after " + ToUtf8(title);
    return false;
  }
  return true;
}

int SoakDialogs(long openings) {
  Outcome o;
  HWND main = MainWindow(o);
  for (long i = 0; main && i < openings; ++i) {
    // Options with Save, Options with Cancel, About with OK, in turn.
    const int which = static_cast<int>(i % 3);
    const bool ok = which == 0   ? OpenAndClose(main, kOptionsButton, kOptionsTitle, kSave, o.failure)
                    : which == 1 ? OpenAndClose(main, kOptionsButton, kOptionsTitle, kCancel, o.failure)
                                 : OpenAndClose(main, kAboutButton, kAboutTitle, kOk, o.failure);
    if (!ok) break;
    ++o.done;
  }
  return Report("dialogs", o);
}

// --- counters and the clipboard's number

int Counters(DWORD pid) {
  ProcessCounters c;
  std::string live;
  const bool opened = ReadCounters(pid, c, &live);
  JsonWriter json;
  json.BeginObject()
      .Field("pid", static_cast<int64_t>(pid))
      .Field("opened", opened)
      .Field("wine", c.wine)
      .Field("api_user", static_cast<int64_t>(c.apiUser))
      .Field("api_gdi", static_cast<int64_t>(c.apiGdi))
      .Field("api_handles", static_cast<int64_t>(c.apiHandles))
      .Field("api_private_bytes", static_cast<int64_t>(c.apiPrivateBytes))
      .Field("gdi_table", static_cast<int64_t>(c.gdiTable))
      .Field("windows", static_cast<int64_t>(c.windows))
      .Field("handles", static_cast<int64_t>(c.handles))
      .Field("gdi_entries", std::string_view(live))
      .EndObject();
  Print(json.str());
  return opened ? 0 : 1;
}

// The GDI count checked on the probe's own process: brushes made and freed out of order (so that
// the freed entries form a chain) must move the count by exactly the brushes alive.
int CountersCheck() {
  const DWORD self = GetCurrentProcessId();
  ProcessCounters c;
  std::vector<long> readings;
  const auto read = [&] {
    readings.push_back(ReadCounters(self, c) ? c.gdiTable : -1);
    return readings.back();
  };
  constexpr int kBrushes = 20;
  std::vector<HBRUSH> brushes;
  read();  // the first reading makes objects of its own (the window enumeration's), once
  const long start = read();
  for (int i = 0; i < kBrushes; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  const long made = read();
  for (int i = 0; i < kBrushes; i += 2) DeleteObject(brushes[static_cast<size_t>(i)]);
  const long half = read();
  for (int i = 1; i < kBrushes; i += 2) DeleteObject(brushes[static_cast<size_t>(i)]);
  const long freed = read();
  const bool ok = start > 0 && made == start + kBrushes && half == start + kBrushes / 2 &&
                  freed == start;
  std::string figures;
  for (long r : readings) figures += (figures.empty() ? "" : ",") + std::to_string(r);
  JsonWriter json;
  json.BeginObject().Field("ok", ok).Field("readings", std::string_view(figures)).EndObject();
  Print(json.str());
  return ok ? 0 : 1;
}

int ClipboardNumber() {
  JsonWriter json;
  json.BeginObject()
      .Field("sequence", static_cast<int64_t>(GetClipboardSequenceNumber()))
      .EndObject();
  Print(json.str());
  return 0;
}

// Whether the clipboard can be opened now: nobody is reading or writing it.
int ClipboardFree() {
  const bool free = OpenClipboard(nullptr) != FALSE;
  if (free) CloseClipboard();
  JsonWriter json;
  json.BeginObject().Field("free", free).EndObject();
  Print(json.str());
  return 0;
}

// The shell's restart as programs hear it, `times` times in a row.
int TaskbarCreated(long times) {
  const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  for (long i = 0; i < times; ++i) PostMessageW(HWND_BROADCAST, message, 0, 0);
  JsonWriter json;
  json.BeginObject().Field("sent", static_cast<int64_t>(times)).EndObject();
  Print(json.str());
  return 0;
}

// The main window's thread stops for `ms` milliseconds, as if a handler were stuck: a copy
// that is busy or hung, made from outside without any hook inside the program.
int Stall(long ms) {
  HWND main = FindTop(0, kMainTitle, L"KelvaraForm");
  const DWORD threadId = main ? GetWindowThreadProcessId(main, nullptr) : 0;
  HANDLE thread = threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : nullptr;
  const bool stopped = thread && SuspendThread(thread) != static_cast<DWORD>(-1);
  if (stopped) {
    Print("{\"stalled\":true}");
    Sleep(static_cast<DWORD>(ms));
    ResumeThread(thread);
  }
  if (thread) CloseHandle(thread);
  JsonWriter json;
  json.BeginObject().Field("resumed", stopped).EndObject();
  Print(json.str());
  return stopped ? 0 : 1;
}

long Number(const wchar_t* text) { return std::wcstol(text, nullptr, 10); }

}  // namespace

int SoakCommand(int argc, wchar_t** argv) {
  const std::wstring command = argv[1];
  if (command == L"counters" && argc == 3) return Counters(static_cast<DWORD>(Number(argv[2])));
  if (command == L"counters-check" && argc == 2) return CountersCheck();
  if (command == L"clipboard-number" && argc == 2) return ClipboardNumber();
  if (command == L"clipboard-free" && argc == 2) return ClipboardFree();
  if (command == L"taskbar-created" && argc == 3) return TaskbarCreated(Number(argv[2]));
  if (command == L"stall" && argc == 3) return Stall(Number(argv[2]));
  if (command == L"dispatch-gaps" && argc == 3) {
    bool measured = false;
    Print(DispatchGaps(FindTop(0, kMainTitle, L"KelvaraForm"), Number(argv[2]), measured));
    return measured ? 0 : 1;
  }
  if (command == L"soak-tray" && argc == 3) return SoakTray(Number(argv[2]));
  if (command == L"soak-lookups" && argc == 4) return SoakLookups(Number(argv[2]), Number(argv[3]));
  if (command == L"soak-clipboard" && argc == 5)
    return SoakClipboard(Number(argv[2]), argv[3], argv[4]);
  if (command == L"soak-dialogs" && argc == 3) return SoakDialogs(Number(argv[2]));
  return -1;
}

const char* SoakUsage() {
  return "  counters PID             what a process holds: the platform's counters and the\n"
         "                           probe's own counts (GDI table, windows, handles)\n"
         "  counters-check           the GDI count of the probe's own process, checked with\n"
         "                           brushes made and freed\n"
         "  clipboard-number         the clipboard's sequence number\n"
         "  clipboard-free           whether the clipboard can be opened now\n"
         "  taskbar-created N        broadcast the shell's \"TaskbarCreated\" N times\n"
         "  stall MS                 stop the main window's thread for MS milliseconds\n"
         "  dispatch-gaps MS         for MS milliseconds, the longest time the main window's\n"
         "                           thread kept a waiting message unhandled, measured inside\n"
         "                           its process (kelvara-e2e-gaps.dll)\n"
         "  soak-tray N              N hide-to-tray and restore cycles of the main window\n"
         "  soak-lookups N K         N lookups set into the word box, a list click every K\n"
         "  soak-clipboard N MODE WORDS  N clipboard changes; MODE shown|balloon|restore;\n"
         "                           WORDS comma-separated headwords to copy\n"
         "  soak-dialogs N           N openings of Options (save, cancel) and About\n";
}
