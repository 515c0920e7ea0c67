// Small timing helpers for the benchmark programs: each measurement is a
// best-of-N wall-clock time, and every result is printed as one report line.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Best time of `repeats` runs of `work`, in seconds.
inline double BestSeconds(int repeats, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed.count() < best) best = elapsed.count();
  }
  return best;
}

inline double MegabytesPerSecond(double bytes, double seconds) { return bytes / 1e6 / seconds; }

// One report line: a name, a figure, its unit and an optional remark.
inline void Report(const std::string& name, double value, const char* unit, const std::string& remark = "") {
  std::printf("%-48s %12.2f %-6s %s\n", name.c_str(), value, unit, remark.c_str());
  std::fflush(stdout);
}

// A part of a benchmark program; parts register themselves at start-up.
struct Section {
  const char* Name;
  void (*Run)();
};
inline std::vector<Section>& Sections() {
  static std::vector<Section> sections;
  return sections;
}
struct RegisterSection {
  RegisterSection(const char* name, void (*run)()) { Sections().push_back({name, run}); }
};

}  // namespace bench
