// Where the time of a change of the word box goes: each step of it alone (the engine, the list,
// the word box, the meaning box, the drawing), in the main window and in the plain one, many
// times over, with the median wall time and the mean CPU time of this process. Also the making
// of a whole new main window in this warm process.
#pragma once

#include <filesystem>

#include "BaselineWindow.h"
#include "frmMain.h"
#include "lookup/Dictionary.h"

namespace kelvara::bench {

// `worst` is the letter with the most matches; each step runs n times.
void Profile(frmMain& form, BaselineWindow& plain, const Dictionary& dict,
             const std::filesystem::path& dataFolder, wchar_t worst, int n);

}  // namespace kelvara::bench
