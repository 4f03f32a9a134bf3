// Prints what the StarDict or dictd reader makes of a dictionary, for the reference checks
// (tests/reference/check-readers.sh): the name and count, then one entry a line as
// headword TAB meaning, with the meaning's CR LF written as \n and backslashes doubled.
//   kelvara-import-dump [--count] FILE.ifo|FILE.index
// With --count only the name and the count: the reader alone, as the import benchmark times it.
#include <cstdio>
#include <iostream>
#include <string>

#include "import/Dictd.h"
#include "import/StarDict.h"

int main(int argc, char** argv) {
  using namespace kelvara::import;
  const bool countOnly = argc == 3 && std::string_view(argv[1]) == "--count";
  if (argc != 2 && !countOnly) {
    std::cerr << "usage: kelvara-import-dump [--count] FILE.ifo|FILE.index\n";
    return 2;
  }
  const std::filesystem::path file = argv[argc - 1];
  Source source;
  std::string error;
  const bool ok = file.extension() == ".ifo" ? ReadStarDict(file, source, error)
                                             : ReadDictd(file, source, error);
  if (!ok) {
    std::cerr << "error: " << error << "\n";
    return 1;
  }
  std::string out = "name\t" + source.name + "\ncount\t" + std::to_string(source.entries.size()) + "\n";
  for (std::size_t n = 0; !countOnly && n < source.entries.size(); ++n) {
    const Entry& e = source.entries[n];
    out += e.headword;
    out += '\t';
    for (std::size_t i = 0; i < e.meaning.size(); ++i) {
      const char c = e.meaning[i];
      if (c == '\r' && i + 1 < e.meaning.size() && e.meaning[i + 1] == '\n') {
        out += "\\n";
        ++i;
      } else if (c == '\\') {
        out += "\\\\";
      } else if (c == '\n' || c == '\t' || c == '\r') {
        out += c == '\t' ? "\\t" : "\\r";
      } else {
        out += c;
      }
    }
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
