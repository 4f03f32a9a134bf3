// CPU time of this process, all threads. The platform counts it in ticks of about 10 ms, so it
// means something only summed over many repetitions; it leaves out the time other processes
// (the machine's other work, Wine's server) take, which wall-clock times include.
#pragma once

#include <windows.h>

namespace kelvara::bench {

inline double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

}  // namespace kelvara::bench
