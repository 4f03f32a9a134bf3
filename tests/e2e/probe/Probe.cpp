// kelvara-probe: reports the state of another program's windows as JSON, for the end-to-end
// tests. It runs in the same Wine prefix and desktop as the program under test and only reads,
// except for the few commands that say they act.
//
// Everything it reads from the other process goes through messages the platform marshals across
// processes (WM_GETTEXT, EM_GETSEL, LB_GETTEXT, LB_GETITEMRECT...) or through window-manager
// queries; GetWindowTextW is not used for controls because it answers "" for another process's
// edit box.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Json.h"
#include "Soak.h"

namespace {

constexpr UINT kTimeoutMs = 2000;  // a hung target must not hang the probe

enum Exit { kOk = 0, kNotFound = 1, kUsage = 2 };

void Print(const std::string& utf8) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
            &written, nullptr);
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\n", 1, &written, nullptr);
}

bool Send(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(hWnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &answer)) {
    return false;
  }
  result = static_cast<LRESULT>(answer);
  return true;
}

std::wstring TextOf(HWND hWnd) {
  LRESULT length = 0;
  if (!Send(hWnd, WM_GETTEXTLENGTH, 0, 0, length) || length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  Send(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

std::wstring ClassOf(HWND hWnd) {
  wchar_t name[256]{};
  GetClassNameW(hWnd, name, 256);
  return name;
}

bool IsClass(HWND hWnd, const wchar_t* name) { return lstrcmpiW(ClassOf(hWnd).c_str(), name) == 0; }

void WriteRect(JsonWriter& json, std::string_view key, const RECT& r) {
  json.BeginObject(key)
      .Field("left", r.left)
      .Field("top", r.top)
      .Field("width", r.right - r.left)
      .Field("height", r.bottom - r.top)
      .EndObject();
}

// A window's rectangle in the client coordinates of `parent`.
RECT RectIn(HWND hWnd, HWND parent) {
  RECT r{};
  GetWindowRect(hWnd, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void WriteListBox(JsonWriter& json, HWND list) {
  const LONG style = GetWindowLongW(list, GWL_STYLE);
  LRESULT count = 0, selected = LB_ERR, top = 0, itemHeight = 0;
  Send(list, LB_GETCOUNT, 0, 0, count);
  Send(list, LB_GETCURSEL, 0, 0, selected);
  Send(list, LB_GETTOPINDEX, 0, 0, top);
  Send(list, LB_GETITEMHEIGHT, 0, 0, itemHeight);
  json.Field("count", static_cast<int64_t>(count))
      .Field("selected", static_cast<int64_t>(selected))
      .Field("top_index", static_cast<int64_t>(top))
      .Field("item_height", static_cast<int64_t>(itemHeight))
      .Field("owner_drawn", (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0)
      .Field("no_data", (style & LBS_NODATA) != 0);
  // An owner-drawn list without strings, and a no-data list above all, keeps no text to read.
  const bool hasText = !(style & LBS_NODATA) &&
                       (!(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) ||
                        (style & LBS_HASSTRINGS));
  if (!hasText) return;
  json.BeginArray("items");
  for (LRESULT i = 0; i < count && i < 5000; ++i) {
    LRESULT length = 0;
    if (!Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, length) || length < 0) break;
    std::wstring item(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    Send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()), copied);
    item.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    json.Value(std::wstring_view(item));
  }
  json.EndArray();
}

void WriteControl(JsonWriter& json, HWND top, HWND child) {
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  RECT screen{};
  GetWindowRect(child, &screen);
  json.BeginObject()
      .Field("class", std::wstring_view(ClassOf(child)))
      .Field("id", static_cast<int64_t>(GetDlgCtrlID(child)))
      .Field("hwnd", static_cast<int64_t>(reinterpret_cast<intptr_t>(child)))
      .Field("text", std::wstring_view(TextOf(child)))
      .Field("visible", IsWindowVisible(child) != FALSE)
      .Field("enabled", IsWindowEnabled(child) != FALSE)
      .Field("style", static_cast<int64_t>(static_cast<uint32_t>(style)))
      .Field("exstyle",
             static_cast<int64_t>(static_cast<uint32_t>(GetWindowLongW(child, GWL_EXSTYLE))));
  WriteRect(json, "rect", RectIn(child, top));
  WriteRect(json, "screen", screen);
  if (IsClass(child, L"Edit") || IsClass(child, WC_EDITW)) {
    LRESULT selection = 0;
    Send(child, EM_GETSEL, 0, 0, selection);
    json.BeginArray("selection")
        .Value(static_cast<int64_t>(LOWORD(selection)))
        .Value(static_cast<int64_t>(HIWORD(selection)))
        .EndArray();
  } else if (IsClass(child, L"ListBox")) {
    WriteListBox(json, child);
  } else if (IsClass(child, L"Button")) {
    LRESULT checked = 0;
    Send(child, BM_GETCHECK, 0, 0, checked);
    json.Field("checked", checked == BST_CHECKED);
  }
  json.EndObject();
}

struct Found {
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
  reinterpret_cast<Found*>(lParam)->windows.push_back(hWnd);
  return TRUE;
}

BOOL CALLBACK CollectTop(HWND hWnd, LPARAM lParam) {
  reinterpret_cast<Found*>(lParam)->windows.push_back(hWnd);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  Found found;
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

// The top-level window with this exact title; a visible one is preferred over a hidden one of
// the same title (a program may keep hidden helper windows).
// "hwnd:NUMBER" names a window by its handle instead, for titles that a command line in an
// unknown locale might not carry intact.
HWND FindTop(const std::wstring& title) {
  if (title.rfind(L"hwnd:", 0) == 0) {
    HWND w = reinterpret_cast<HWND>(static_cast<intptr_t>(std::wcstoll(title.c_str() + 5, nullptr, 10)));
    return IsWindow(w) ? w : nullptr;
  }
  HWND hidden = nullptr;
  for (HWND w : TopLevelWindows()) {
    if (TextOf(w) != title) continue;
    if (IsWindowVisible(w)) return w;
    if (!hidden) hidden = w;
  }
  return hidden;
}

DWORD ProcessOf(HWND hWnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  return pid;
}

void WriteWindowSummary(JsonWriter& json, HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  json.Field("hwnd", static_cast<int64_t>(reinterpret_cast<intptr_t>(w)))
      .Field("title", std::wstring_view(TextOf(w)))
      .Field("class", std::wstring_view(ClassOf(w)))
      .Field("pid", static_cast<int64_t>(ProcessOf(w)))
      .Field("visible", IsWindowVisible(w) != FALSE);
  WriteRect(json, "rect", r);
}

// The desktop's foreground window and the control that has the keyboard focus in it.
void WriteFocus(JsonWriter& json) {
  HWND foreground = GetForegroundWindow();
  json.BeginObject("foreground");
  if (foreground) WriteWindowSummary(json, foreground);
  json.EndObject();
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  json.BeginObject("focus");
  if (thread && GetGUIThreadInfo(thread, &info) && info.hwndFocus) {
    WriteWindowSummary(json, info.hwndFocus);
    json.Field("id", static_cast<int64_t>(GetDlgCtrlID(info.hwndFocus)));
  }
  json.EndObject();
}

int State(const std::wstring& title) {
  JsonWriter json;
  json.BeginObject();
  HWND w = FindTop(title);
  json.Field("found", w != nullptr);
  if (w) {
    WriteWindowSummary(json, w);
    RECT client{};
    GetClientRect(w, &client);
    MapWindowPoints(w, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    WriteRect(json, "client", client);
    json.Field("enabled", IsWindowEnabled(w) != FALSE)
        .Field("minimized", IsIconic(w) != FALSE)
        .Field("maximized", IsZoomed(w) != FALSE)
        .Field("is_foreground", GetForegroundWindow() == w)
        .Field("style", static_cast<int64_t>(static_cast<uint32_t>(GetWindowLongW(w, GWL_STYLE))));
    HWND owner = GetWindow(w, GW_OWNER);
    json.Field("owner", static_cast<int64_t>(reinterpret_cast<intptr_t>(owner)));
    Found children;
    EnumChildWindows(w, CollectChild, reinterpret_cast<LPARAM>(&children));
    json.BeginArray("children");
    for (HWND child : children.windows) WriteControl(json, w, child);
    json.EndArray();
    json.BeginObject("desktop");
    WriteFocus(json);
    json.EndObject();
  }
  json.EndObject();
  Print(json.str());
  return w ? kOk : kNotFound;
}

int Windows() {
  JsonWriter json;
  json.BeginArray();
  for (HWND w : TopLevelWindows()) {
    json.BeginObject();
    WriteWindowSummary(json, w);
    json.Field("owner", static_cast<int64_t>(reinterpret_cast<intptr_t>(GetWindow(w, GW_OWNER))));
    json.EndObject();
  }
  json.EndArray();
  Print(json.str());
  return kOk;
}

// Tooltip windows: balloons and the tray icons' tips are tooltips_class32 windows whose
// WM_GETTEXT is the text they show (or showed last).
int Tooltips() {
  JsonWriter json;
  json.BeginArray();
  for (HWND w : TopLevelWindows()) {
    if (!IsClass(w, TOOLTIPS_CLASSW)) continue;
    json.BeginObject();
    WriteWindowSummary(json, w);
    HWND owner = GetWindow(w, GW_OWNER);
    json.Field("owner_class", std::wstring_view(owner ? ClassOf(owner) : std::wstring()));
    json.EndObject();
  }
  json.EndArray();
  Print(json.str());
  return kOk;
}

int Focus() {
  JsonWriter json;
  json.BeginObject();
  WriteFocus(json);
  json.EndObject();
  Print(json.str());
  return kOk;
}

HWND FindControl(HWND top, int id) {
  Found children;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children.windows) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

// The screen rectangle of a list item, so that the tests can click it with the real mouse.
int ItemRect(const std::wstring& title, int id, int index) {
  HWND top = FindTop(title);
  HWND list = top ? FindControl(top, id) : nullptr;
  JsonWriter json;
  json.BeginObject().Field("found", list != nullptr);
  if (list) {
    // Scroll the item into view first; a rectangle outside the list cannot be clicked.
    LRESULT ignored = 0;
    Send(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0, ignored);
    RECT item{};
    LRESULT ok = LB_ERR;
    Send(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item), ok);
    json.Field("ok", ok != LB_ERR);
    MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&item), 2);
    WriteRect(json, "screen", item);
  }
  json.EndObject();
  Print(json.str());
  return list ? kOk : kNotFound;
}

int Close(const std::wstring& title) {
  HWND w = FindTop(title);
  if (w) PostMessageW(w, WM_CLOSE, 0, 0);
  JsonWriter json;
  json.BeginObject().Field("found", w != nullptr).EndObject();
  Print(json.str());
  return w ? kOk : kNotFound;
}

// Sets a window's outer size from another process, as a user's program might; the window's
// size limits apply to it as they do to a drag.
int Resize(const std::wstring& title, int width, int height) {
  HWND w = FindTop(title);
  JsonWriter json;
  json.BeginObject().Field("found", w != nullptr);
  if (w) {
    SetWindowPos(w, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r{};
    GetWindowRect(w, &r);
    WriteRect(json, "rect", r);
  }
  json.EndObject();
  Print(json.str());
  return w ? kOk : kNotFound;
}

// The screen point of a window's title-bar button (HTCLOSE, HTMAXBUTTON, HTMINBUTTON), found by
// asking the window itself (WM_NCHITTEST), so it holds whatever the theme's button sizes are.
int CaptionButton(const std::wstring& title, LRESULT wanted) {
  HWND w = FindTop(title);
  JsonWriter json;
  json.BeginObject().Field("found", w != nullptr);
  bool hit = false;
  if (w) {
    RECT r{};
    GetWindowRect(w, &r);
    for (int y = r.top + 1; y < r.top + 48 && y < r.bottom && !hit; ++y) {
      for (int x = r.right - 2; x > r.right - 120 && x > r.left && !hit; --x) {
        LRESULT code = HTNOWHERE;
        Send(w, WM_NCHITTEST, 0, MAKELPARAM(x, y), code);
        if (code != wanted) continue;
        // Aim for the middle of the button: walk on to its far edges.
        int x0 = x, y1 = y;
        while (x0 - 1 > r.left && Send(w, WM_NCHITTEST, 0, MAKELPARAM(x0 - 1, y), code) &&
               code == wanted) {
          --x0;
        }
        while (y1 + 1 < r.bottom && Send(w, WM_NCHITTEST, 0, MAKELPARAM(x, y1 + 1), code) &&
               code == wanted) {
          ++y1;
        }
        json.Field("x", static_cast<int64_t>((x0 + x) / 2)).Field("y", static_cast<int64_t>((y + y1) / 2));
        hit = true;
      }
    }
  }
  json.Field("hit", hit).EndObject();
  Print(json.str());
  return hit ? kOk : kNotFound;
}

int Alive(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  DWORD code = 0;
  const bool alive = process && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  if (process) CloseHandle(process);
  JsonWriter json;
  json.BeginObject().Field("pid", static_cast<int64_t>(pid)).Field("alive", alive).EndObject();
  Print(json.str());
  return alive ? kOk : kNotFound;
}

int Usage() {
  std::fputs(
      "Usage: kelvara-probe COMMAND ...\n"
      "Reports the windows of the desktop it runs in as JSON on stdout.\n\n"
      "TITLE is a window's exact title, or hwnd:NUMBER.\n\n"
      "  state [TITLE]            a top-level window (default \"Kelvara Dictionary\") and every\n"
      "                           control in it: class, id, text, rectangles, flags, edit\n"
      "                           selection, list count, selection and (where kept) items\n"
      "  windows                  every top-level window\n"
      "  tooltips                 tooltip windows (tray icon tips and balloons)\n"
      "  focus                    the foreground window and its focused control\n"
      "  item-rect TITLE ID INDEX screen rectangle of a list item, scrolled into view\n"
      "  resize TITLE W H         set a window's outer size (SetWindowPos) and report it\n"
      "  close TITLE              post WM_CLOSE to a window\n"
      "  caption-button TITLE close|maximize|minimize\n"
      "                           screen point of one of the window's title-bar buttons\n"
      "  alive PID                whether a Windows process id is still running\n",
      stderr);
  std::fputs(SoakUsage(), stderr);
  std::fputs("\nExit codes: 0 done, 1 window or process not found (or a soak step failed), 2 "
             "wrong usage.\n",
             stderr);
  return kUsage;
}

int Number(const wchar_t* text) { return static_cast<int>(std::wcstol(text, nullptr, 10)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  const std::wstring defaultTitle = L"Kelvara Dictionary";
  if (command == L"state" && argc <= 3) return State(argc == 3 ? argv[2] : defaultTitle);
  if (command == L"windows" && argc == 2) return Windows();
  if (command == L"tooltips" && argc == 2) return Tooltips();
  if (command == L"focus" && argc == 2) return Focus();
  if (command == L"item-rect" && argc == 5) return ItemRect(argv[2], Number(argv[3]), Number(argv[4]));
  if (command == L"resize" && argc == 5) return Resize(argv[2], Number(argv[3]), Number(argv[4]));
  if (command == L"close" && argc == 3) return Close(argv[2]);
  if (command == L"caption-button" && argc == 4) {
    const std::wstring which = argv[3];
    if (which == L"close") return CaptionButton(argv[2], HTCLOSE);
    if (which == L"maximize") return CaptionButton(argv[2], HTMAXBUTTON);
    if (which == L"minimize") return CaptionButton(argv[2], HTMINBUTTON);
  }
  if (command == L"alive" && argc == 3) return Alive(static_cast<DWORD>(Number(argv[2])));
  if (const int soak = SoakCommand(argc, argv); soak >= 0) return soak;
  return Usage();
}
