// patch_bench OLD NEW [name=value ...]: generates the patch from OLD to NEW,
// reports its size raw and as the archive stores it (bzip2 -9), the
// generation and apply times, checks that ApplyPatch rebuilds NEW exactly,
// and measures xdelta3, zstd and bsdiff on the same pair.
// patch_bench --corpus LIST [name=value ...]: the same for every pair of LIST
// (lines "NAME KIND OLD NEW", as bench/patch/fetch-corpus prints them), as
// one table with the geometric means of the ratios per kind of pair.
// name=value pairs set generator options for experiments (see ApplyOptions);
// repeats=N times the generation N times, compare=0 skips the other programs.
#include <bzlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "PatchGenerator.h"
#include "archive/core/Diff.h"
#include "archive/core/MemoryStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Bzip2Size(const Bytes& data) {
  unsigned int capacity = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
  std::vector<char> out(capacity);
  if (BZ2_bzBuffToBuffCompress(out.data(), &capacity, const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                               static_cast<unsigned int>(data.size()), 9, 0, 0) != BZ_OK) {
    throw std::runtime_error("bzip2 failed");
  }
  return capacity;
}

std::string Quote(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; returns false when it fails.
bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device device;
    path_ = fs::temp_directory_path() / ("patch-bench-" + std::to_string(device()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The programs we compare with, each as the commands that turn OLD and NEW
// into the file whose size counts (OUT, or OUT.bz2 when bzip2 follows).
struct Baseline {
  const char* Name;
  const char* Label;
  const char* Program;
  const char* Commands;
  bool Bzip2After;
};
const Baseline kBaselines[] = {
    {"xd-S-none+bz2", "xdelta3 -9 -S none, then bzip2 -9", "xdelta3",
     "xdelta3 -9 -S none -f -e -s OLD NEW OUT", true},
    {"xdelta3-9", "xdelta3 -9", "xdelta3", "xdelta3 -9 -f -e -s OLD NEW OUT", false},
    {"zstd-19", "zstd -19 --patch-from", "zstd", "zstd -q -19 -f --patch-from=OLD NEW -o OUT", false},
    {"bsdiff", "bsdiff", "bsdiff", "bsdiff OLD NEW OUT", false},
};
// The baseline the targets are set against.
constexpr std::size_t kReference = 0;

std::optional<std::size_t> BaselineSize(const Baseline& baseline, const fs::path& oldPath, const fs::path& newPath,
                                        const fs::path& scratch) {
  if (!Run(std::string("command -v ") + baseline.Program)) return std::nullopt;
  const fs::path out = scratch / "out";
  std::string command = baseline.Commands;
  for (const auto& [key, value] : {std::pair{"OLD", oldPath}, std::pair{"NEW", newPath}, std::pair{"OUT", out}}) {
    command.replace(command.find(key), std::string(key).size(), Quote(value));
  }
  if (!Run(command)) return std::nullopt;
  if (!baseline.Bzip2After) return fs::file_size(out);
  if (!Run("bzip2 -9 -f " + Quote(out))) return std::nullopt;
  return fs::file_size(scratch / "out.bz2");
}

struct BenchOptions {
  int Repeats = 3;
  bool Compare = true;
  std::string SavePatch;  // where to write the patch stream (one pair only)
};

void ApplyOptions(const std::vector<std::string>& args, bzip2arc::patch::PatchOptions& options, BenchOptions& bench) {
  for (const std::string& arg : args) {
    const auto equals = arg.find('=');
    if (equals == std::string::npos) throw std::runtime_error("expected name=value: " + arg);
    const std::string name = arg.substr(0, equals);
    if (name == "save") {
      bench.SavePatch = arg.substr(equals + 1);
      continue;
    }
    const double value = std::stod(arg.substr(equals + 1));
    if (name == "block") options.Plan.BlockLength = static_cast<std::uint32_t>(value);
    else if (name == "region") options.Plan.RegionLength = static_cast<std::uint32_t>(value);
    else if (name == "record") options.Plan.Costs.Record = value;
    else if (name == "offshift") options.Plan.Costs.OffShift = value;
    else if (name == "changed") options.Plan.Costs.InsertChanged = value;
    else if (name == "unchanged") options.Plan.Costs.InsertUnchanged = value;
    else if (name == "anchor") options.Alignment.MinAnchorLength = static_cast<std::uint32_t>(value);
    else if (name == "step") options.Alignment.LookupStep = static_cast<std::uint32_t>(value);
    else if (name == "candidates") options.Alignment.MaxCandidates = static_cast<std::uint32_t>(value);
    else if (name == "literal") options.Plan.CompareWithLiteral = value != 0;
    else if (name == "bias") options.Plan.LiteralBias = value;
    else if (name == "context") options.Plan.LiteralContext = static_cast<std::size_t>(value);
    else if (name == "join") options.Plan.JoinDensity = value;
    else if (name == "joinlength") options.Plan.JoinLength = static_cast<std::uint32_t>(value);
    else if (name == "align") options.Plan.AlignCompressorBlocks = value != 0;
    else if (name == "segment") options.Plan.MinSegment = static_cast<std::uint32_t>(value);
    else if (name == "threads") options.Plan.Threads = static_cast<unsigned>(value);
    else if (name == "repeats") bench.Repeats = static_cast<int>(value);
    else if (name == "compare") bench.Compare = value != 0;
    else throw std::runtime_error("unknown option " + name);
  }
}

struct PairResult {
  std::size_t OldSize = 0;
  std::size_t NewSize = 0;
  std::size_t Raw = 0;
  std::size_t Stored = 0;  // bzip2 -9 of the patch stream
  double GenerateSeconds = 0;
  double GenerateCpuSeconds = 0;
  double ApplySeconds = 0;
  bool Verified = false;
  std::vector<std::optional<std::size_t>> Baselines;
};

PairResult MeasurePair(const fs::path& oldPath, const fs::path& newPath,
                       const bzip2arc::patch::PatchOptions& options, const BenchOptions& benchOptions) {
  const Bytes oldData = ReadAll(oldPath);
  const Bytes newData = ReadAll(newPath);
  PairResult result;
  result.OldSize = oldData.size();
  result.NewSize = newData.size();
  Bytes patch;
  result.GenerateCpuSeconds = 1e30;
  result.GenerateSeconds = bench::BestSeconds(benchOptions.Repeats, [&] {
    const std::clock_t start = std::clock();
    patch = bzip2arc::patch::MakePatch(oldData, newData, options);
    result.GenerateCpuSeconds =
        std::min(result.GenerateCpuSeconds, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  });
  if (!benchOptions.SavePatch.empty()) {
    std::ofstream(benchOptions.SavePatch, std::ios::binary)
        .write(reinterpret_cast<const char*>(patch.data()), static_cast<std::streamsize>(patch.size()));
  }
  result.Raw = patch.size();
  result.Stored = Bzip2Size(patch);

  // The proof that the patch is right: the library's applier rebuilds NEW.
  bzip2arc::TMemoryStream patchStream(patch);
  bzip2arc::TMemoryStream oldStream(oldData);
  bzip2arc::TMemoryStream newStream;
  result.ApplySeconds = bench::BestSeconds(benchOptions.Repeats, [&] {
    newStream.SetSize(0);
    bzip2arc::ApplyPatch(patchStream, oldStream, newStream, nullptr);
  });
  result.Verified = newStream.Bytes() == newData;

  if (benchOptions.Compare) {
    const ScratchFolder scratch;
    for (const Baseline& baseline : kBaselines) result.Baselines.push_back(BaselineSize(baseline, oldPath, newPath, scratch.Path()));
  }
  return result;
}

std::string Ratio(std::size_t ours, const std::optional<std::size_t>& theirs) {
  if (!theirs) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ours) / static_cast<double>(*theirs));
  return text;
}

int ReportPair(const fs::path& oldPath, const fs::path& newPath, const bzip2arc::patch::PatchOptions& options,
               const BenchOptions& benchOptions) {
  const PairResult r = MeasurePair(oldPath, newPath, options, benchOptions);
  bench::Report("old file", static_cast<double>(r.OldSize), "bytes");
  bench::Report("new file", static_cast<double>(r.NewSize), "bytes");
  bench::Report("patch stream, raw", static_cast<double>(r.Raw), "bytes");
  bench::Report("patch stream, bzip2 -9 (stored)", static_cast<double>(r.Stored), "bytes");
  bench::Report("generation time (best of " + std::to_string(benchOptions.Repeats) + ")", r.GenerateSeconds, "s",
                "processor time " + std::to_string(r.GenerateCpuSeconds) + " s, all threads");
  bench::Report("apply time (ApplyPatch)", r.ApplySeconds, "s", r.Verified ? "result verified" : "RESULT DIFFERS");
  for (std::size_t b = 0; b < r.Baselines.size(); ++b) {
    if (!r.Baselines[b]) {
      std::printf("%s: not installed or failed\n", kBaselines[b].Label);
      continue;
    }
    bench::Report(kBaselines[b].Label, static_cast<double>(*r.Baselines[b]), "bytes",
                  "ours / theirs = " + Ratio(r.Stored, r.Baselines[b]));
  }
  return r.Verified ? 0 : 1;
}

// Geometric mean of the ratios ours / baseline over a set of pairs.
class GeometricMeans {
 public:
  void Add(const PairResult& r) {
    ++pairs_;
    for (std::size_t b = 0; b < r.Baselines.size(); ++b) {
      if (!r.Baselines[b]) continue;
      logSums_[b] += std::log(static_cast<double>(r.Stored) / static_cast<double>(*r.Baselines[b]));
      ++counts_[b];
    }
  }
  int Pairs() const { return pairs_; }
  std::string Mean(std::size_t b) const {
    if (counts_.count(b) == 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::exp(logSums_.at(b) / counts_.at(b)));
    return text;
  }

 private:
  int pairs_ = 0;
  std::map<std::size_t, double> logSums_;
  std::map<std::size_t, int> counts_;
};

int ReportCorpus(const fs::path& list, const bzip2arc::patch::PatchOptions& options, const BenchOptions& benchOptions) {
  std::ifstream in(list);
  if (!in) throw std::runtime_error("cannot read " + list.string());
  std::printf("%-15s %-8s %9s %9s", "pair", "kind", "new", "ours");
  for (const Baseline& baseline : kBaselines) std::printf(" %14s", baseline.Name);
  std::printf(" %8s %7s %s\n", "gen s", "apply s", "applies");
  std::map<std::string, GeometricMeans> means;
  double seconds = 0, cpuSeconds = 0, applySeconds = 0;
  std::size_t newBytes = 0;
  int failures = 0;
  int worstBeyondReference = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string name, kind, oldPath, newPath;
    if (!(fields >> name >> kind >> oldPath >> newPath)) continue;
    const PairResult r = MeasurePair(oldPath, newPath, options, benchOptions);
    std::printf("%-15s %-8s %9zu %9zu", name.c_str(), kind.c_str(), r.NewSize, r.Stored);
    for (std::size_t b = 0; b < std::size(kBaselines); ++b) {
      const std::optional<std::size_t> theirs = b < r.Baselines.size() ? r.Baselines[b] : std::nullopt;
      std::printf(" %7s/%-6s", theirs ? std::to_string(*theirs).c_str() : "-", Ratio(r.Stored, theirs).c_str());
    }
    std::printf(" %8.2f %7.3f %s\n", r.GenerateSeconds, r.ApplySeconds, r.Verified ? "exactly" : "NO");
    std::fflush(stdout);
    means[kind].Add(r);
    means["all"].Add(r);
    seconds += r.GenerateSeconds;
    cpuSeconds += r.GenerateCpuSeconds;
    applySeconds += r.ApplySeconds;
    newBytes += r.NewSize;
    failures += r.Verified ? 0 : 1;
    if (!r.Baselines.empty() && r.Baselines[kReference] && r.Stored > *r.Baselines[kReference]) ++worstBeyondReference;
  }
  std::printf("\ngeometric mean of ours / baseline:\n%-24s", "pairs");
  for (const Baseline& baseline : kBaselines) std::printf(" %14s", baseline.Name);
  std::printf("\n");
  for (const auto& [kind, mean] : means) {
    std::printf("%-24s", (kind + " (" + std::to_string(mean.Pairs()) + ")").c_str());
    for (std::size_t b = 0; b < std::size(kBaselines); ++b) std::printf(" %14s", mean.Mean(b).c_str());
    std::printf("\n");
  }
  const double per10MB = 1e7 / static_cast<double>(std::max<std::size_t>(newBytes, 1));
  std::printf("\ngeneration per 10 MB of new file: %.2f s wall (best of %d), %.2f s processor time\n",
              seconds * per10MB, benchOptions.Repeats, cpuSeconds * per10MB);
  std::printf("application per 10 MB of new file: %.3f s\n", applySeconds * per10MB);
  if (benchOptions.Compare) {
    std::printf("pairs larger than %s: %d\n", kBaselines[kReference].Label, worstBeyondReference);
  }
  std::printf("patches that ApplyPatch turns into exactly the new file: %d of %d\n", means["all"].Pairs() - failures,
              means["all"].Pairs());
  return failures == 0 ? 0 : 1;
}

int Main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: patch_bench OLD NEW [name=value ...]\n       patch_bench --corpus LIST [name=value ...]\n");
    return 2;
  }
  bzip2arc::patch::PatchOptions options;
  BenchOptions benchOptions;
  ApplyOptions(std::vector<std::string>(argv + 3, argv + argc), options, benchOptions);
  if (std::string(argv[1]) == "--corpus") {
    if (!benchOptions.SavePatch.empty()) throw std::runtime_error("save= takes one pair");
    return ReportCorpus(argv[2], options, benchOptions);
  }
  return ReportPair(argv[1], argv[2], options, benchOptions);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "patch_bench: %s\n", error.what());
    return 1;
  }
}
