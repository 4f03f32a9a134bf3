// kelvara-dict's commands, apart from the process entry so that tests can run them in-process.
#pragma once

#include <string>
#include <vector>

namespace kelvara {

enum ToolExit : int {
  kExitOk = 0,
  kExitDictionary = 1,  // the dictionary cannot be opened, or verify found a problem
  kExitUsage = 2,       // unknown command or wrong arguments
  kExitSource = 3,      // the source TSV cannot be read or has a bad line
  kExitOutput = 4,      // the output cannot be written
};

// `args` excludes the program name and is UTF-8. Writes UTF-8 bytes to out and err.
int RunDictTool(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace kelvara
