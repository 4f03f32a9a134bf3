// What a process holds, as the soak tests compare it before and after a workload.
#pragma once

#include <windows.h>

#include <string>

struct ProcessCounters {
  bool wine = false;
  // The platform's own answers (0 under Wine 8, which does not keep them).
  long apiUser = 0, apiGdi = 0, apiHandles = 0;
  long long apiPrivateBytes = 0;
  // Counted by the probe; -1 when they could not be read.
  long gdiTable = -1;  // entries of the process's GDI handle table
  long windows = -1;   // windows of the process, children and message-only ones included
  long handles = -1;   // kernel handles of the process in the system's handle list
};

// false when the process cannot be opened. With `live`, the live entries of the GDI table as
// "index:type,..." (to tell which object a workload left behind).
bool ReadCounters(DWORD pid, ProcessCounters& out, std::string* live = nullptr);
