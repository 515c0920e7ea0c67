#include "Runs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Arguments.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/FileExtraction.h"
#include "archive/core/StoredData.h"
#include "archive/core/MemoryStream.h"

extern char** environ;

namespace arcsetbench {

namespace {

// Linux counts the peak resident size of the process a child was spawned
// from into the child's own (exec takes over the spawner's high-water mark),
// and this process holds tens of MiB of test data: GNU time, a small process,
// spawns the command and writes the command's own peak (KiB) to a file.
std::string PeakFileOf(std::size_t child) {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") + "/arcset-bench-peak-" +
         std::to_string(getpid()) + "-" + std::to_string(child);
}

double ReadPeakMiB(std::size_t child) {
  std::string word, last;
  {
    std::ifstream file(PeakFileOf(child));
    while (file >> word) last = word;
  }
  std::remove(PeakFileOf(child).c_str());
  return last.empty() ? 0.0 : std::stod(last) / 1024.0;
}

pid_t Start(const Command& command, const std::string& output, std::size_t index) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words = {"/usr/bin/time", "-f", "%M", "-o", PeakFileOf(index)};
  words.insert(words.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return started == 0 ? child : -1;
}

}  // namespace

Timing RunTogether(const std::vector<Command>& commands, const std::vector<std::string>& outputs) {
  Timing timing;
  timing.CpuSeconds = 0;
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> children;
  for (std::size_t i = 0; i < commands.size(); ++i) children.push_back(Start(commands[i], outputs[i], i));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const pid_t child = children[i];
    if (child < 0) {
      timing.Failed = true;
      continue;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    timing.CpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    timing.PeakMiB = std::max(timing.PeakMiB, ReadPeakMiB(i));
    timing.Failed = timing.Failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }
  timing.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return timing;
}

Timing RunOnce(const Command& command, const std::string& output) { return RunTogether({command}, {output}); }

void KeepBest(Timing& best, const Timing& once) {
  best.Failed = best.Failed || once.Failed;
  best.Seconds = std::min(best.Seconds, once.Seconds);
  best.CpuSeconds = std::min(best.CpuSeconds, once.CpuSeconds);
  best.PeakMiB = std::max(best.PeakMiB, once.PeakMiB);
}

std::string LoadAverage() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) < 1) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

std::string Cpu(const Timing& timing) { return "cpu " + std::to_string(timing.CpuSeconds).substr(0, 5) + " s"; }

void WriteStoredStreams(const std::string& pattern, const std::filesystem::path& file) {
  bzip2arc::DirectoryList list;
  bzip2arc::ArchiveHeader header;
  bzip2arc::ReadArchive(pattern.c_str(), arcset::DefaultKey().c_str(), list, header);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const bzip2arc::DirectoryRecord& record : list) {
    bzip2arc::TMemoryStream stored;
    bzip2arc::GatherStoredData(pattern.c_str(), record, header, nullptr, stored);
    out.write(reinterpret_cast<const char*>(stored.Bytes().data()), static_cast<std::streamsize>(stored.Bytes().size()));
  }
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream x(a, std::ios::binary);
  std::ifstream y(b, std::ios::binary);
  return x && y &&
         std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

bool HoldsExactly(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& inputs) {
  if (FilesIn(folder).size() != inputs.size()) return false;
  return std::all_of(inputs.begin(), inputs.end(),
                     [&](const std::filesystem::path& input) { return SameFile(input, folder / input.filename()); });
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace arcsetbench
