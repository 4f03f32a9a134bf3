// Summaries of timed samples: the median and the 99th percentile say more than a mean on a
// machine that other work interrupts.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace kelvara::bench {

struct Summary {
  std::size_t count = 0;
  double median = 0, p99 = 0, max = 0, total = 0;
};

// Nearest-rank percentile of sorted samples, q in (0, 1]; 0 for no samples.
inline double Percentile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  const double rank = q * static_cast<double>(sorted.size());
  auto index = static_cast<std::size_t>(rank);
  if (static_cast<double>(index) < rank) ++index;  // ceil
  return sorted[std::clamp<std::size_t>(index, 1, sorted.size()) - 1];
}

inline Summary Summarize(std::vector<double> samples) {
  Summary s;
  s.count = samples.size();
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  s.p99 = Percentile(samples, 0.99);
  s.max = samples.back();
  for (double x : samples) s.total += x;
  return s;
}

// How many times faster `fast` is than `slow`; 0 when either has no time.
inline double Ratio(double slow, double fast) { return slow > 0 && fast > 0 ? slow / fast : 0; }

using Clock = std::chrono::steady_clock;

inline double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace kelvara::bench
