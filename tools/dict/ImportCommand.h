// kelvara-dict import: dictionaries in the field's open formats into one Data.db.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "DictTool.h"

namespace kelvara {

struct ImportRequest {
  std::filesystem::path target;
  std::vector<std::filesystem::path> sources;
  bool add = false;            // keep the target's rows, first
  bool createIfMissing = false;  // with add: a missing target is made new (a drop)
};

// Reads every source, merges, writes the target through a temporary file and a rename. On any
// error nothing is written and the target is as it was. Returns a ToolExit code.
int RunImport(const ImportRequest& request, std::string& out, std::string& err,
              const ToolHooks& hooks);

}  // namespace kelvara
