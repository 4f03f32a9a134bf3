// The program's entry: one copy at a time, the program path, the main window.
#pragma once

namespace kelvara {

// Runs the program and returns its exit code: 0 after a normal end and for a second copy,
// kExitNoDictionary when the dictionary cannot be opened, 1 when the window cannot be made.
int Main();

}  // namespace kelvara
