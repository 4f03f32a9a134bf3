// The second start: a copy that finds another one running asks it to come back, the way its
// Shift+F9 would, and ends. It never injects keystrokes, which could reach another program.
#pragma once

namespace kelvara {

// Asks the running copy's main window to do what its hotkey does. The running copy may still
// be loading or busy, so it is given up to two seconds in all to answer. True when it answered;
// otherwise the ask is left in its queue, to be carried out once it recovers.
bool SignalRunningCopy();

}  // namespace kelvara
