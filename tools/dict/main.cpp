// Process entry of kelvara-dict. On Windows the arguments come in as UTF-16 (wmain) and the
// output goes out as raw bytes, so that the tool prints exactly what the native one prints.
#include <cstdio>
#include <string>
#include <vector>

#include "DictTool.h"
#include "lookup/Utf8.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void WriteAll(std::FILE* stream, const std::string& bytes) {
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

int Run(const std::vector<std::string>& args) {
  std::string out, err;
  const int code = kelvara::RunDictTool(args, out, err);
  WriteAll(stdout, out);
  WriteAll(stderr, err);
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
