// A tiny stand-in for the dictionary window, used to prove the end-to-end harness itself: an
// edit box, a list box and a button, kept at least 385 x 300 by the size limiter, with an
// optional tray icon and an optional error message box before exiting.
//
//   kelvara-e2e-window [--tray] [--fail]
//
// Typing into the edit selects the first list entry that begins with the text; clicking an
// entry puts it into the edit, fully selected; "Add" appends the edit's text to the list.
// --fail shows an error message box and exits with code 3 without opening the window.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

#include "LimitedWindow.h"

using namespace kelvara;

namespace {

constexpr wchar_t kTitle[] = L"Kelvara E2E Test Window";
constexpr int kEdit = 101, kList = 102, kAdd = 103;
constexpr UINT kTrayMessage = WM_APP + 1;

HWND g_edit, g_list, g_add;
bool g_tray;

std::wstring TextOf(HWND hWnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hWnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void Layout(HWND hWnd) {
  RECT c{};
  GetClientRect(hWnd, &c);
  MoveWindow(g_edit, 15, 15, c.right - 30, 21, TRUE);
  MoveWindow(g_list, 15, 46, c.right - 30, c.bottom - 46 - 47, TRUE);
  MoveWindow(g_add, (c.right - 81) / 2, c.bottom - 37, 81, 27, TRUE);
}

void TrayIcon(HWND hWnd, DWORD action) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hWnd;
  nid.uID = 1;
  nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  nid.uCallbackMessage = kTrayMessage;
  nid.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wcscpy_s(nid.szTip, L"Kelvara test tip \u0648\u0627\u0698\u0647");
  Shell_NotifyIconW(action, &nid);
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      HINSTANCE inst = GetModuleHandleW(nullptr);
      g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                               ES_AUTOHSCROLL, 0, 0, 0, 0, hWnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEdit)), inst, nullptr);
      g_list = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", nullptr,
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY, 0, 0,
                               0, 0, hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kList)),
                               inst, nullptr);
      g_add = CreateWindowExW(0, L"Button", L"Add", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                              hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAdd)), inst,
                              nullptr);
      for (const wchar_t* word : {L"apple", L"apricot", L"banana", L"cherry",
                                  L"\u0633\u06CC\u0628"}) {
        SendMessageW(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(word));
      }
      // Tahoma has the Arabic letters the system font lacks.
      HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                               0, 0, L"Tahoma");
      for (HWND control : {g_edit, g_list, g_add}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      }
      Layout(hWnd);
      if (g_tray) TrayIcon(hWnd, NIM_ADD);
      return 0;
    }
    case WM_SIZE:
      Layout(hWnd);
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == kEdit && code == EN_CHANGE) {
        const std::wstring text = TextOf(g_edit);
        const LRESULT found = text.empty() ? LB_ERR
                                           : SendMessageW(g_list, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                                          reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(g_list, LB_SETCURSEL, found == LB_ERR ? static_cast<WPARAM>(-1)
                                                           : static_cast<WPARAM>(found), 0);
      } else if (id == kList && code == LBN_SELCHANGE) {
        const LRESULT index = SendMessageW(g_list, LB_GETCURSEL, 0, 0);
        if (index != LB_ERR) {
          std::wstring item(static_cast<size_t>(SendMessageW(g_list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0)) + 1, L'\0');
          SendMessageW(g_list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
          SetWindowTextW(g_edit, item.c_str());
          SetFocus(g_edit);
          SendMessageW(g_edit, EM_SETSEL, 0, -1);
        }
      } else if (id == kAdd && code == BN_CLICKED) {
        const std::wstring text = TextOf(g_edit);
        if (!text.empty()) SendMessageW(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
      }
      return 0;
    }
    case WM_CLOSE:
      ReleaseWindowLimit(hWnd);
      DestroyWindow(hWnd);
      return 0;
    case WM_DESTROY:
      if (g_tray) TrayIcon(hWnd, NIM_DELETE);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hWnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR commandLine, int show) {
  const std::wstring args = commandLine;
  g_tray = args.find(L"--tray") != std::wstring::npos;
  if (args.find(L"--fail") != std::wstring::npos) {
    MessageBoxW(nullptr, L"The test window was asked to fail.", kTitle, MB_OK | MB_ICONERROR);
    return 3;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"KelvaraE2EWindow";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                           385, 300, nullptr, nullptr, inst, nullptr);
  LimitWindowSize(w, 385, 300, 0, 0);
  ShowWindow(w, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(w, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
