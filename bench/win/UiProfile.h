// Where the time of a change of the word box goes: each step of it alone (the engine, the list,
// the word box, the meaning box, the drawing), in the main window and in the plain one, many
// times over, with the median wall time and the mean CPU time of this process. Also the making
// of a whole new main window in this warm process.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "BaselineWindow.h"
#include "frmMain.h"
#include "lookup/Dictionary.h"

namespace kelvara::bench {

// `worst` is the letter with the most matches; each step runs n times. `typos` and `nonsense`
// match nothing: a change to each is split into its steps, each step timed in the state the
// timed change meets it in (after a whole word was looked up and drawn); only those steps when
// `notFoundOnly`.
void Profile(frmMain& form, BaselineWindow& plain, const Dictionary& dict,
             const std::filesystem::path& dataFolder, wchar_t worst, int n,
             const std::vector<std::wstring>& typos, const std::vector<std::wstring>& nonsense,
             bool notFoundOnly);

}  // namespace kelvara::bench
