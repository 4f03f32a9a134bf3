// kelvara-e2e-faults: the misbehaving neighbours of the fault cases.
//   lazy-clipboard SECONDS  takes the clipboard, offers text by delayed rendering and, asked to
//                           render it, hangs without ever rendering; lives SECONDS in all
//   hung-clipboard SECONDS  offers text the same way, then stops answering messages at all
//                           for SECONDS (a program that froze after a copy)
//   hold-hotkey SECONDS     holds Shift+F9 system-wide for SECONDS
// Each prints one JSON line once it is in place, and keeps its messages flowing otherwise.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_RENDERFORMAT) {
    // Never renders: the thread stops answering for far longer than any reader may wait.
    Sleep(INFINITE);
  }
  if (msg == WM_RENDERALLFORMATS) return 0;
  return DefWindowProcW(w, msg, wParam, lParam);
}

void Say(const char* json) {
  std::printf("%s\n", json);
  std::fflush(stdout);
}

HWND MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KelvaraFaultHelper";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"kelvara-e2e-faults", WS_OVERLAPPED, 0, 0, 10, 10,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

void Pump(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("Usage: kelvara-e2e-faults lazy-clipboard|hold-hotkey SECONDS\n", stderr);
    return 2;
  }
  const DWORD ms = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000);
  HWND w = MakeWindow();
  const bool hung = std::wcscmp(argv[1], L"hung-clipboard") == 0;
  if (hung || std::wcscmp(argv[1], L"lazy-clipboard") == 0) {
    bool offered = false;
    for (int attempt = 0; attempt < 100 && !offered; ++attempt) {
      if (OpenClipboard(w)) {
        EmptyClipboard();
        offered = SetClipboardData(CF_UNICODETEXT, nullptr) == nullptr &&
                  IsClipboardFormatAvailable(CF_UNICODETEXT);
        CloseClipboard();
      } else {
        Sleep(20);
      }
    }
    std::printf("{\"offered\":%s,\"sequence\":%lu}\n", offered ? "true" : "false",
                GetClipboardSequenceNumber());
    std::fflush(stdout);
    if (!offered) return 1;
    if (hung) {
      Sleep(ms);
      return 0;
    }
  } else if (std::wcscmp(argv[1], L"hold-hotkey") == 0) {
    const bool held = RegisterHotKey(w, 1, MOD_SHIFT, VK_F9) != FALSE;
    Say(held ? "{\"held\":true}" : "{\"held\":false}");
    if (!held) return 1;
  } else {
    return 2;
  }
  Pump(ms);
  return 0;
}
