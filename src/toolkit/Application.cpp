#include "Application.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Form.h"

namespace kelvara::toolkit {

std::wstring FolderOf(std::wstring_view fullPath) {
  const size_t slash = fullPath.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  std::wstring folder(fullPath.substr(0, slash));
  // A drive root keeps its separator: "C:" alone would mean the drive's current folder.
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

std::wstring FileTitleOf(std::wstring_view fullPath) {
  const size_t slash = fullPath.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? fullPath : fullPath.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
  return std::wstring(name);
}

std::wstring ArgumentsOf(std::wstring_view commandLine) {
  size_t i = 0;
  // The program name ends at its closing quote, or at the first blank when it is not quoted
  // (the rule the platform's own start-up code uses).
  if (i < commandLine.size() && commandLine[i] == L'"') {
    ++i;
    while (i < commandLine.size() && commandLine[i] != L'"') ++i;
    if (i < commandLine.size()) ++i;
  } else {
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
  }
  while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
  return std::wstring(commandLine.substr(i));
}

HINSTANCE Application::Instance() { return GetModuleHandleW(nullptr); }

std::wstring Application::ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // long paths: grow until the whole name fits
  }
}

std::wstring Application::Path() { return FolderOf(ModulePath()); }
std::wstring Application::EXEName() { return FileTitleOf(ModulePath()); }
std::wstring Application::Command() { return ArgumentsOf(GetCommandLineW()); }

void Application::ProcessMessage(MSG& msg) {
  if (Form::PreTranslateKey(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int Application::Run() {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    ProcessMessage(msg);
  }
}

void Application::DoEvents() {
  // A timer whose handler takes longer than its interval is due again by the time the handler
  // returns, so "until the queue is empty" would never come: each timer is served once per
  // call, and its next tick is left for the loop that called.
  std::vector<std::pair<HWND, UINT_PTR>> served;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_TIMER) {
      const std::pair<HWND, UINT_PTR> timer{msg.hwnd, msg.wParam};
      if (std::find(served.begin(), served.end(), timer) != served.end()) return;
      served.push_back(timer);
    }
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // keep it for the loop that ends
      return;
    }
    ProcessMessage(msg);
  }
}

void Application::End(int exitCode) { PostQuitMessage(exitCode); }

}  // namespace kelvara::toolkit
