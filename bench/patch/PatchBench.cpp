// patch_bench OLD NEW [name=value ...]: generates the patch from OLD to NEW,
// reports its size raw and after bzip2 -9, the generation and apply times,
// checks that applying it rebuilds NEW, and measures xdelta3 and bsdiff on
// the same pair when those programs are installed. name=value pairs set
// generator options (block, region, record, changed, unchanged, anchor,
// candidates, step, literal, align, segment, threads) for experiments; repeats=N times the generation N
// times, compare=0 skips the other programs.
#include <bzlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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

bool HaveProgram(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
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

struct BenchOptions {
  int Repeats = 3;
  bool Compare = true;
};

void ApplyOptions(int argc, char** argv, bzip2arc::patch::PatchOptions& options, BenchOptions& bench) {
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto equals = arg.find('=');
    if (equals == std::string::npos) throw std::runtime_error("expected name=value: " + arg);
    const std::string name = arg.substr(0, equals);
    const double value = std::stod(arg.substr(equals + 1));
    if (name == "block") options.Plan.BlockLength = static_cast<std::uint32_t>(value);
    else if (name == "region") options.Plan.RegionLength = static_cast<std::uint32_t>(value);
    else if (name == "record") options.Plan.Costs.Record = value;
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

void Compare(const char* name, std::size_t size, std::size_t ours, const std::string& remark) {
  bench::Report(name, static_cast<double>(size), "bytes",
                "ours / theirs = " + std::to_string(static_cast<double>(ours) / static_cast<double>(size)) + remark);
}

int Main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: patch_bench OLD NEW [name=value ...]\n");
    return 2;
  }
  const fs::path oldPath = argv[1];
  const fs::path newPath = argv[2];
  const Bytes oldData = ReadAll(oldPath);
  const Bytes newData = ReadAll(newPath);
  bzip2arc::patch::PatchOptions options;
  BenchOptions benchOptions;
  ApplyOptions(argc, argv, options, benchOptions);

  Bytes patch;
  double generateCpuSeconds = 1e30;
  const double generateSeconds = bench::BestSeconds(benchOptions.Repeats, [&] {
    const std::clock_t start = std::clock();
    patch = bzip2arc::patch::MakePatch(oldData, newData, options);
    generateCpuSeconds = std::min(generateCpuSeconds, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  });
  const std::size_t compressed = Bzip2Size(patch);
  bench::Report("old file", static_cast<double>(oldData.size()), "bytes");
  bench::Report("new file", static_cast<double>(newData.size()), "bytes");
  bench::Report("patch stream, raw", static_cast<double>(patch.size()), "bytes");
  bench::Report("patch stream, bzip2 -9", static_cast<double>(compressed), "bytes");
  bench::Report("generation time (best of " + std::to_string(benchOptions.Repeats) + ")", generateSeconds, "s",
                "processor time " + std::to_string(generateCpuSeconds) + " s, all threads");

  bzip2arc::TMemoryStream patchStream(patch);
  bzip2arc::TMemoryStream oldStream(oldData);
  bzip2arc::TMemoryStream newStream;
  const double applySeconds = bench::BestSeconds(3, [&] {
    newStream.SetSize(0);
    bzip2arc::ApplyPatch(patchStream, oldStream, newStream, nullptr);
  });
  const bool verified = newStream.Bytes() == newData;
  bench::Report("apply time (ApplyPatch, best of 3)", applySeconds, "s", verified ? "result verified" : "RESULT DIFFERS");

  if (!benchOptions.Compare) return verified ? 0 : 1;
  const ScratchFolder scratch;
  const fs::path out = scratch.Path() / "out";
  if (HaveProgram("xdelta3")) {
    if (Run("xdelta3 -9 -S none -f -e -s " + Quote(oldPath) + " " + Quote(newPath) + " " + Quote(out)) &&
        Run("bzip2 -9 -f " + Quote(out))) {
      Compare("xdelta3 -9 -S none, then bzip2 -9", fs::file_size(scratch.Path() / "out.bz2"), compressed,
              " (same entropy coder)");
    }
    if (Run("xdelta3 -9 -f -e -s " + Quote(oldPath) + " " + Quote(newPath) + " " + Quote(out))) {
      Compare("xdelta3 -9", fs::file_size(out), compressed, "");
    }
  } else {
    std::printf("xdelta3 not installed\n");
  }
  if (HaveProgram("bsdiff")) {
    if (Run("bsdiff " + Quote(oldPath) + " " + Quote(newPath) + " " + Quote(out))) {
      Compare("bsdiff", fs::file_size(out), compressed, "");
    }
  } else {
    std::printf("bsdiff not installed\n");
  }
  return verified ? 0 : 1;
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
