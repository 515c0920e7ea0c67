// szdd: compresses a file into SZDD form (mode "A") for LZ32 to expand.
// The loader's build runs it on bzip2arc.dll; it is built with one compiler
// command for the build host, so it uses the standard library only.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SzddEncoder.h"

namespace {

constexpr const char* kVersion = "1.0.0";

constexpr const char* kUsage =
    "Usage: szdd [--help] [--version] INPUT OUTPUT\n"
    "Compresses INPUT into OUTPUT in SZDD form (LZ mode \"A\"), which LZ32\n"
    "(LZOpenFile, LZCopy) and expand.exe restore.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 read or write failure, 2 usage error.\n";

enum ExitCode { kExitOk = 0, kExitIo = 1, kExitUsage = 2 };

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string SystemReason() { return errno != 0 ? std::strerror(errno) : "unknown error"; }

// Whole-file read; false with `reason` set on failure.
bool ReadAll(const char* path, std::vector<std::uint8_t>& bytes, std::string& reason) {
  errno = 0;
  File file(std::fopen(path, "rb"));
  if (!file) {
    reason = SystemReason();
    return false;
  }
  std::uint8_t buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    reason = SystemReason();
    return false;
  }
  return true;
}

bool WriteAll(const char* path, const std::vector<std::uint8_t>& bytes, std::string& reason) {
  errno = 0;
  std::FILE* raw = std::fopen(path, "wb");
  if (raw == nullptr) {
    reason = SystemReason();
    return false;
  }
  File file(raw);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), raw) == bytes.size();
  if (!written) reason = SystemReason();
  errno = 0;
  const bool closed = std::fclose(file.release()) == 0;
  if (written && !closed) reason = SystemReason();
  if (written && closed) return true;
  // A cut-short output must not pass for a compressed library.
  std::remove(path);
  return false;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "szdd: %s\n%s", problem, kUsage);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> operands;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--help") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (!optionsEnded && arg == "--version") {
      std::printf("szdd %s\n", kVersion);
      return kExitOk;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      const std::string problem = "unknown option " + std::string(arg);
      return Usage(problem.c_str());
    } else {
      operands.push_back(argv[i]);
    }
  }
  if (operands.size() != 2) return Usage("expected INPUT and OUTPUT");

  std::vector<std::uint8_t> input;
  std::string reason;
  if (!ReadAll(operands[0], input, reason)) {
    std::fprintf(stderr, "szdd: cannot read %s: %s\n", operands[0], reason.c_str());
    return kExitIo;
  }
  std::vector<std::uint8_t> output;
  try {
    output = bzip2arc::SzddEncode(input);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "szdd: cannot compress %s: %s\n", operands[0], error.what());
    return kExitIo;
  }
  if (!WriteAll(operands[1], output, reason)) {
    std::fprintf(stderr, "szdd: cannot write %s: %s\n", operands[1], reason.c_str());
    return kExitIo;
  }
  return kExitOk;
}
