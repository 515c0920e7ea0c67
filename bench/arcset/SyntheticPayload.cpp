// Fair comparison: bzip2 -dc decodes the very streams the set stores (each
// record's stream, concatenated into one .bz2 file, which bzip2 decodes one
// after the other): the same blocks, the same checks, the same output bytes,
// written to a file on the same file system. A single stream of the whole
// payload would cut the blocks differently.
#include <cstdio>

#include "BenchSupport.h"
#include "Payload.h"
#include "Runs.h"
#include "Sections.h"

namespace arcsetbench {

namespace fs = std::filesystem;

bool RunSyntheticPayload(const std::string& arcset, const fs::path& work) {
  const fs::path payload = work / "payload";
  const double bytes = static_cast<double>(WritePayload(payload, 100'000'000));
  const std::vector<fs::path> files = FilesIn(payload);
  std::printf("== generated payload: %.1f MB in %zu files (text-like, binary-like, random)\n", bytes / 1e6,
              files.size());

  // create on one and on two threads.
  const auto create = [&](const char* threads, const fs::path& set) {
    fs::remove_all(set);
    return RunOnce({arcset, "create", "-j", threads, "--volume-size", "32M", set.string(), payload.string()});
  };
  Timing create1;
  Timing create2;
  for (int round = 0; round < 2; ++round) {
    KeepBest(create1, create("1", work / "set1"));
    KeepBest(create2, create("2", work / "set2"));
  }
  bool identical = !create1.Failed && !create2.Failed;
  for (const fs::path& volume : FilesIn(work / "set1")) identical = identical && SameFile(volume, work / "set2" / volume.filename());

  // extraction against bzip2 -dc of the same streams.
  const std::string pattern = (work / "set1" / "setup%d.lib").string();
  const fs::path streams = work / "streams.bz2";
  WriteStoredStreams(pattern, streams);
  const fs::path bzip2Output = work / "bzip2.out";
  const fs::path destination = work / "out";
  const Command bzip2{"bzip2", "-dc", streams.string()};
  const auto extract = [&](const char* threads) {
    fs::remove_all(destination);
    return RunOnce({arcset, "extract", "-j", threads, (work / "set1").string(), destination.string()});
  };
  RunOnce(bzip2, bzip2Output.string());  // warms the page cache
  constexpr int kRepeats = 5;
  Timing baseline;
  Timing serial;
  Timing parallel;
  Timing twoDecoders;  // two bzip2 -dc at once: what two decoders get from this machine
  for (int round = 0; round < kRepeats; ++round) {  // interleaved, so that changing load hits all
    KeepBest(baseline, RunOnce(bzip2, bzip2Output.string()));
    KeepBest(serial, extract("1"));
    KeepBest(parallel, extract("2"));
    KeepBest(twoDecoders, RunTogether({bzip2, bzip2}, {bzip2Output.string(), (work / "bzip2-2.out").string()}));
  }
  const bool extracted = HoldsExactly(destination, files);
  if (baseline.Failed || serial.Failed || parallel.Failed || !extracted) {
    std::printf("a run failed (bzip2 %d, -j 1 %d, -j 2 %d, output %s)\n", baseline.Failed, serial.Failed,
                parallel.Failed, extracted ? "right" : "WRONG");
    return false;
  }

  const double serialRatio = baseline.Seconds / serial.Seconds;
  const double parallelRatio = baseline.Seconds / parallel.Seconds;
  const double ceiling = 2 * baseline.Seconds / twoDecoders.Seconds;
  std::printf("-- extract (best of %d rounds, interleaved; ratios > 1: faster than bzip2 -dc)\n", kRepeats);
  bench::Report("bzip2 -dc of the stored streams", bench::MegabytesPerSecond(bytes, baseline.Seconds), "MB/s",
                Cpu(baseline));
  bench::Report("arcset extract -j 1 (library path)", bench::MegabytesPerSecond(bytes, serial.Seconds), "MB/s",
                Cpu(serial));
  bench::Report("  throughput ratio to bzip2 -dc", serialRatio, "x",
                std::string("target >= 0.95: ") + Verdict(serialRatio >= 0.95));
  bench::Report("  processor-time ratio to bzip2 -dc", baseline.CpuSeconds / serial.CpuSeconds, "x");
  bench::Report("  peak RSS", serial.PeakMiB, "MiB", std::string("target <= 16: ") + Verdict(serial.PeakMiB <= 16));
  bench::Report("arcset extract -j 2", bench::MegabytesPerSecond(bytes, parallel.Seconds), "MB/s", Cpu(parallel));
  bench::Report("  throughput ratio to bzip2 -dc", parallelRatio, "x",
                std::string("target >= 1.8: ") + Verdict(parallelRatio >= 1.8));
  bench::Report("  peak RSS", parallel.PeakMiB, "MiB");
  bench::Report("two bzip2 -dc at once, ratio to one", ceiling, "x", "what 2 decoders can get here");
  bench::Report("  arcset -j 2 against that", parallelRatio / ceiling, "x");
  std::printf("-- create (best of 2 rounds)\n");
  bench::Report("arcset create -j 1", create1.Seconds, "s", Cpu(create1));
  bench::Report("arcset create -j 2", create2.Seconds, "s", Cpu(create2));
  bench::Report("  speed-up", create1.Seconds / create2.Seconds, "x",
                std::string("output byte-identical: ") + (identical ? "yes" : "NO"));
  bench::Report("  peak RSS of -j 2", create2.PeakMiB, "MiB",
                std::string("target <= 96: ") + Verdict(create2.PeakMiB <= 96));
  fs::remove_all(work);
  return identical;
}

}  // namespace arcsetbench
