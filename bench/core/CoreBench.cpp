// core_bench: throughput of the archive core (CRC-32, the bzip2 stream, the
// patch applier). Run: build/native/bin/core_bench [section...]
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "BenchSupport.h"

int main(int argc, char** argv) {
  auto sections = bench::Sections();
  std::sort(sections.begin(), sections.end(),
            [](const bench::Section& a, const bench::Section& b) { return std::strcmp(a.Name, b.Name) < 0; });
  for (const auto& section : sections) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], section.Name) == 0;
    if (!wanted) continue;
    std::printf("== %s\n", section.Name);
    section.Run();
  }
  return 0;
}
