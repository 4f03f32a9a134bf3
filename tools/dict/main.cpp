// Process entry of kelvara-dict. On Windows the arguments come in as UTF-16 (wmain) and the
// output goes out as raw bytes, so that the tool prints exactly what the native one prints.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DictTool.h"
#include "lookup/Utf8.h"

#ifdef _WIN32
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

void WriteAll(std::FILE* stream, const std::string& bytes) {
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

// Progress goes to a console only: in a pipe or a log a status line rewritten with CR is noise.
bool StderrIsConsole() {
#ifdef _WIN32
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
  return isatty(2) != 0;
#endif
}

#ifdef _WIN32
std::filesystem::path DataBesideExe() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path() / L"Data.db";
}

// A drop opens a console window of its own that closes the moment the tool ends, taking the
// summary with it: wait for a key then, but only when the window is ours alone (not a console a
// user or a script started us from) and a key can come (input is that console, not a pipe).
void WaitIfOwnConsole() {
  DWORD ids[2];
  if (GetConsoleProcessList(ids, 2) != 1) return;
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return;
  WriteAll(stderr, "\nPress any key to close this window.\n");
  _getch();
}
#endif

int Run(const std::vector<std::string>& args) {
  kelvara::ToolHooks hooks;
  if (StderrIsConsole()) {
    hooks.progress = [](const std::string& text) { WriteAll(stderr, text); };
  }
#ifdef _WIN32
  hooks.dropDictionary = DataBesideExe();
#endif
  const bool drop = kelvara::IsDrop(args, hooks);
#ifdef _WIN32
  if (drop) SetConsoleOutputCP(CP_UTF8);  // the summary names files, maybe in any script
#endif
  std::string out, err;
  const int code = kelvara::RunDictTool(args, out, err, hooks);
  WriteAll(stdout, out);
  WriteAll(stderr, err);
#ifdef _WIN32
  if (drop) WaitIfOwnConsole();
#else
  (void)drop;
#endif
  return code;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view w(argv[i]);
    args.push_back(kelvara::utf8::FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size())));
  }
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
