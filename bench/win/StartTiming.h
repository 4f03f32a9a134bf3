// One timed start of a Windows program: from CreateProcess to its window visible and to the
// program waiting for input, then a clean close. Any failure is reported, never timed.
#pragma once

#include <string>

namespace kelvara::bench {

struct Launch {
  bool ok = false;
  double visibleMs = 0;  // CreateProcess to a visible top-level window with the title
  double idleMs = 0;     // CreateProcess to WaitForInputIdle returning
  std::string problem;   // why it is not ok, in English
};

// Starts `exe` in `folder`, waits up to 30 s for its visible window titled `title`, then closes
// it with WM_CLOSE. The process has ended when this returns (ended by force if it did not close
// within 10 s, which is a failure too): a second copy of a single-instance program would
// otherwise hand over and end.
Launch StartAndClose(const std::wstring& exe, const std::wstring& folder, const std::wstring& title);

}  // namespace kelvara::bench
