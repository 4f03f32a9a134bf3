// The trivial Win32 program that start-up is measured against: one empty window of the main
// window's size, shown at once, and a message loop. Nothing else. Built a second time with the
// program's manifest and common controls 6 loaded, to tell their cost from the program's own.
#include <windows.h>

#ifdef KELVARA_BENCH_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
#ifdef KELVARA_BENCH_COMMON_CONTROLS
  InitCommonControls();
  const wchar_t* const title = L"Kelvara Bench Window CC6";
#else
  const wchar_t* const title = L"Kelvara Bench Window";
#endif
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = L"KelvaraBenchWindow";
  if (!RegisterClassExW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 385, 300, nullptr, nullptr, instance,
                              nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
