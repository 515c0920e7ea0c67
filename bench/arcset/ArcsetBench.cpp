// arcset_bench ARCSET WORKDIR [SECTION...]: `arcset extract` and `arcset
// create` against bzip2, lbzip2 and the like, each measured side by side with
// its baseline in the same run. Sections: synthetic, large, system (default:
// all). Run it through bench/arcset/run.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Runs.h"
#include "Sections.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: arcset_bench ARCSET WORKDIR [synthetic|large|system]...\n");
    return 2;
  }
  const std::string arcset = argv[1];
  const std::filesystem::path work = argv[2];
  std::vector<std::string> sections(argv + 3, argv + argc);
  if (sections.empty()) sections = {"synthetic", "large", "system"};
  // BENCH_NICE=-10 gives the measured programs (they inherit it) precedence
  // over other jobs of a shared machine; lowering the value needs root.
  if (const char* nice = std::getenv("BENCH_NICE"); nice != nullptr) {
    if (setpriority(PRIO_PROCESS, 0, std::atoi(nice)) != 0) std::fprintf(stderr, "cannot set nice %s\n", nice);
  }
  std::printf("%ld cores; nice %d; load average %s\n", sysconf(_SC_NPROCESSORS_ONLN), getpriority(PRIO_PROCESS, 0),
              arcsetbench::LoadAverage().c_str());
  bool ok = true;
  for (const std::string& section : sections) {
    std::filesystem::remove_all(work / section);
    if (section == "synthetic") {
      ok = arcsetbench::RunSyntheticPayload(arcset, work / section) && ok;
    } else if (section == "large") {
      ok = arcsetbench::RunLargeRecord(arcset, work / section) && ok;
    } else if (section == "system") {
      ok = arcsetbench::RunSystemPayload(arcset, work / section) && ok;
    } else {
      std::fprintf(stderr, "unknown section %s\n", section.c_str());
      return 2;
    }
    std::printf("load average: %s\n", arcsetbench::LoadAverage().c_str());
  }
  std::filesystem::remove_all(work);
  return ok ? 0 : 1;
}
