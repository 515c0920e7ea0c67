// A set whose one record is a 110 MB file. bzip2 -dc and lbzip2 -d decode
// the very stream the set stores: arcset create writes bzip2 -9's bytes,
// which this section checks.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "BenchSupport.h"
#include "ParallelDecompressionStream.h"
#include "Payload.h"
#include "Runs.h"
#include "Sections.h"
#include "archive/core/BZip2.h"
#include "archive/core/MemoryStream.h"

namespace arcsetbench {

namespace fs = std::filesystem;

namespace {

// Seconds to read a decompression stream to its end as extraction does.
double DrainSeconds(bzip2arc::TStream& stream) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::uint8_t> chunk(10241);
  stream.Seek(0, bzip2arc::soBeginning);
  while (stream.Read(chunk.data(), 10241) == 10241) {
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool RunLargeRecord(const std::string& arcset, const fs::path& work) {
  fs::create_directories(work);
  const fs::path record = work / "record.bin";
  const double bytes = static_cast<double>(WriteMixedFile(record, 110'000'000));
  std::printf("== one record of %.1f MB (text-like, binary-like and random pieces)\n", bytes / 1e6);

  const fs::path bzip2File = work / "record.bz2";
  const fs::path set = work / "set";
  const Command bzip2{"bzip2", "-9", "-c", record.string()};
  const Command lbzip2{"lbzip2", "-9", "-n", "2", "-c", record.string()};
  const Command create{arcset, "create", "-j", "2", "--plain", set.string(), record.string()};
  Timing bzip2Time, lbzip2Time, createTime;
  for (int round = 0; round < 2; ++round) {
    KeepBest(bzip2Time, RunOnce(bzip2, bzip2File.string()));
    KeepBest(lbzip2Time, RunOnce(lbzip2, (work / "record.lbz2").string()));
    fs::remove_all(set);
    KeepBest(createTime, RunOnce(create));
  }
  const fs::path stored = work / "stored.bz2";
  WriteStoredStreams((set / "setup%d.lib").string(), stored);
  const bool identical = SameFile(stored, bzip2File);
  const double sizeRatio = static_cast<double>(fs::file_size(stored)) / static_cast<double>(fs::file_size(bzip2File));

  const fs::path output = work / "decoded.out";
  const fs::path destination = work / "out";
  const Command decode{"bzip2", "-dc", stored.string()};
  const Command lbzip2Decode{"lbzip2", "-d", "-n", "2", "-c", stored.string()};
  const Command extract{arcset, "extract", "-j", "2", set.string(), destination.string()};
  RunOnce(decode, output.string());  // warms the page cache
  Timing decodeTime, lbzip2DecodeTime, extractTime, twoDecodes;
  for (int round = 0; round < 3; ++round) {
    KeepBest(decodeTime, RunOnce(decode, output.string()));
    KeepBest(lbzip2DecodeTime, RunOnce(lbzip2Decode, output.string()));
    fs::remove_all(destination);
    KeepBest(extractTime, RunOnce(extract));
    KeepBest(twoDecodes, RunTogether({decode, decode}, {output.string(), (work / "decoded-2.out").string()}));
  }
  const bool extracted = HoldsExactly(destination, {record});

  // The decoder on its own, in this process: the parallel stream against the
  // one-thread stream over the same bytes in memory.
  std::ifstream in(stored, std::ios::binary);
  bzip2arc::TMemoryStream source(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
  double oneThread = 1e30, twoThreads = 1e30;
  for (int round = 0; round < 2; ++round) {
    const auto one = std::make_unique<bzip2arc::TBZDecompressionStream>(source);
    oneThread = std::min(oneThread, DrainSeconds(*one));
    bzip2arc::TParallelBZDecompressionStream two(source, 2);
    twoThreads = std::min(twoThreads, DrainSeconds(two));
  }

  const bool failed = bzip2Time.Failed || lbzip2Time.Failed || createTime.Failed || decodeTime.Failed ||
                      lbzip2DecodeTime.Failed || extractTime.Failed;
  if (failed || !extracted) {
    std::printf("a run failed (output %s)\n", extracted ? "right" : "WRONG");
    return false;
  }
  const double createRatio = createTime.Seconds / bzip2Time.Seconds;
  const double extractRatio = extractTime.Seconds / decodeTime.Seconds;
  std::printf("-- create (best of 2 rounds; ratios are times, ours / theirs)\n");
  bench::Report("bzip2 -9", bzip2Time.Seconds, "s", Cpu(bzip2Time));
  bench::Report("lbzip2 -9 -n 2", lbzip2Time.Seconds, "s", Cpu(lbzip2Time));
  bench::Report("  time ratio to bzip2 -9", lbzip2Time.Seconds / bzip2Time.Seconds, "x");
  bench::Report("  peak RSS", lbzip2Time.PeakMiB, "MiB");
  bench::Report("arcset create -j 2", createTime.Seconds, "s", Cpu(createTime));
  bench::Report("  time ratio to bzip2 -9", createRatio, "x", std::string("target <= 0.55: ") + Verdict(createRatio <= 0.55));
  bench::Report("  peak RSS", createTime.PeakMiB, "MiB",
                std::string("target <= 96: ") + Verdict(createTime.PeakMiB <= 96));
  bench::Report("  stored size / bzip2 -9", sizeRatio, "x",
                std::string("the bytes of bzip2 -9: ") + (identical ? "yes" : "NO"));
  std::printf("-- extract (best of 3 rounds, interleaved)\n");
  bench::Report("bzip2 -dc", decodeTime.Seconds, "s", Cpu(decodeTime));
  bench::Report("two bzip2 -dc at once", twoDecodes.Seconds, "s", "time ratio to one: " + std::to_string(twoDecodes.Seconds / decodeTime.Seconds).substr(0, 4) + " (1.00 on two idle cores)");
  bench::Report("lbzip2 -d -n 2", lbzip2DecodeTime.Seconds, "s", Cpu(lbzip2DecodeTime));
  bench::Report("  time ratio to bzip2 -dc", lbzip2DecodeTime.Seconds / decodeTime.Seconds, "x");
  bench::Report("arcset extract -j 2", extractTime.Seconds, "s", Cpu(extractTime));
  bench::Report("  time ratio to bzip2 -dc", extractRatio, "x",
                std::string("target <= 0.55: ") + Verdict(extractRatio <= 0.55));
  bench::Report("  time ratio to lbzip2 -d -n 2", extractTime.Seconds / lbzip2DecodeTime.Seconds, "x", "stretch <= 1");
  bench::Report("  peak RSS", extractTime.PeakMiB, "MiB");
  bench::Report("decoder stream alone, 2 threads / 1", twoThreads / oneThread, "x",
                "in-process, " + std::to_string(oneThread).substr(0, 5) + " s on one");
  fs::remove_all(work);
  return identical && sizeRatio <= 1.005;
}

}  // namespace arcsetbench
