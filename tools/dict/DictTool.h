// kelvara-dict's commands, apart from the process entry so that tests can run them in-process.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kelvara {

enum ToolExit : int {
  kExitOk = 0,
  kExitDictionary = 1,  // the dictionary cannot be opened, or verify found a problem
  kExitUsage = 2,       // unknown command or wrong arguments
  kExitSource = 3,      // a source (TSV, or a dictionary to import) cannot be read or is bad
  kExitOutput = 4,      // the output cannot be written
};

// What the process entry lends the commands.
struct ToolHooks {
  // Writes a status line to the console at once (the commands' own output comes at the end);
  // empty: no progress is shown.
  std::function<void(const std::string& text)> progress;
  // The dictionary that files dropped on the tool are added to (Data.db beside it); empty: a
  // path where a command belongs is an unknown command.
  std::filesystem::path dropDictionary;
};

// `args` excludes the program name and is UTF-8. Writes UTF-8 bytes to out and err.
int RunDictTool(const std::vector<std::string>& args, std::string& out, std::string& err,
                const ToolHooks& hooks = {});

// True when the arguments are files dropped on the tool rather than a command: no command
// word, and the first names an existing file.
bool IsDrop(const std::vector<std::string>& args, const ToolHooks& hooks);

}  // namespace kelvara
