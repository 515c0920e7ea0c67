// The payload of a real installation medium, from what this machine has
// installed (scripts/setup installs the same packages everywhere): large
// shared libraries, some beyond any memory window, and big tar files.
#include <algorithm>
#include <cstdio>

#include "BenchSupport.h"
#include "Runs.h"
#include "Sections.h"

namespace arcsetbench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLibraries = 40;
constexpr std::uintmax_t kLibraryOver = 400 * 1024;

std::vector<fs::path> Libraries() {
  std::vector<fs::path> libraries;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/lib/x86_64-linux-gnu", error)) {
    const std::string name = entry.path().filename().string();
    if (entry.symlink_status().type() == fs::file_type::regular && name.find(".so") != std::string::npos &&
        entry.file_size() > kLibraryOver)
      libraries.push_back(entry.path());
  }
  std::sort(libraries.begin(), libraries.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
  if (libraries.size() > kLibraries) libraries.resize(kLibraries);
  return libraries;
}

}  // namespace

bool RunSystemPayload(const std::string& arcset, const fs::path& work) {
  fs::create_directories(work);
  std::vector<fs::path> inputs = Libraries();
  for (const char* folder : {"doc", "perl"}) {
    const fs::path tar = work / (std::string(folder) + ".tar");
    RunOnce({"tar", "-cf", tar.string(), "-C", "/usr/share", folder});
    if (fs::exists(tar)) inputs.push_back(tar);
  }
  double bytes = 0;
  std::size_t beyondWindow = 0;
  for (const fs::path& input : inputs) {
    bytes += static_cast<double>(fs::file_size(input));
    beyondWindow += fs::file_size(input) > (std::uintmax_t{64} << 20) ? 1 : 0;
  }
  std::printf("== system payload: %.1f MB in %zu files (%zu shared libraries, tar files of /usr/share/doc and "
              "/usr/share/perl), %zu beyond 64 MiB\n",
              bytes / 1e6, inputs.size(), inputs.size() - 2, beyondWindow);

  const fs::path set = work / "set";
  Command create{arcset, "create", "-j", "2", "--plain", set.string()};
  for (const fs::path& input : inputs) create.push_back(input.string());
  const Timing createTime = RunOnce(create);
  const fs::path stored = work / "stored.bz2";
  WriteStoredStreams((set / "setup%d.lib").string(), stored);

  const fs::path output = work / "decoded.out";
  const fs::path destination = work / "out";
  const Command decode{"bzip2", "-dc", stored.string()};
  const Command extract{arcset, "extract", "-j", "2", set.string(), destination.string()};
  RunOnce(decode, output.string());  // warms the page cache
  Timing decodeTime, extractTime, twoDecodes;
  for (int round = 0; round < 2; ++round) {
    KeepBest(decodeTime, RunOnce(decode, output.string()));
    fs::remove_all(destination);
    KeepBest(extractTime, RunOnce(extract));
    KeepBest(twoDecodes, RunTogether({decode, decode}, {output.string(), (work / "decoded-2.out").string()}));
  }
  const bool extracted = HoldsExactly(destination, inputs);
  if (createTime.Failed || decodeTime.Failed || extractTime.Failed || !extracted) {
    std::printf("a run failed (output %s)\n", extracted ? "right" : "WRONG");
    return false;
  }
  const double ratio = extractTime.Seconds / decodeTime.Seconds;
  std::printf("-- extract (best of 2 rounds, interleaved; ratios are times, ours / theirs)\n");
  bench::Report("arcset create -j 2 of it", createTime.Seconds, "s", "peak RSS " + std::to_string(createTime.PeakMiB).substr(0, 5) + " MiB");
  bench::Report("bzip2 -dc of the stored streams", decodeTime.Seconds, "s", Cpu(decodeTime));
  bench::Report("two bzip2 -dc at once", twoDecodes.Seconds, "s", "time ratio to one: " + std::to_string(twoDecodes.Seconds / decodeTime.Seconds).substr(0, 4) + " (1.00 on two idle cores)");
  bench::Report("arcset extract -j 2", extractTime.Seconds, "s", Cpu(extractTime));
  bench::Report("  time ratio to bzip2 -dc", ratio, "x", std::string("target <= 0.55: ") + Verdict(ratio <= 0.55));
  bench::Report("  peak RSS", extractTime.PeakMiB, "MiB");
  fs::remove_all(work);
  return true;
}

}  // namespace arcsetbench
