// Running the measured programs: each as a child process with its output
// in a file, timed, with its processor time and peak resident memory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace arcsetbench {

struct Timing {
  double Seconds = 1e30;
  double CpuSeconds = 1e30;  // user + system of the children
  double PeakMiB = 0;        // largest peak resident size over the runs
  bool Failed = false;
};

using Command = std::vector<std::string>;

// Runs the commands at the same time, each with stdout into its output file;
// the time is until the last one ends, the peak the largest of theirs.
Timing RunTogether(const std::vector<Command>& commands, const std::vector<std::string>& outputs);
Timing RunOnce(const Command& command, const std::string& output = "/dev/null");
// Keeps the best time and processor time and the largest peak.
void KeepBest(Timing& best, const Timing& once);

std::string LoadAverage();
const char* Verdict(bool met);
std::string Cpu(const Timing& timing);

// The stored streams of a set, in directory order, as one .bz2 file (which
// bzip2 -dc decodes one after the other): the very blocks the set holds.
void WriteStoredStreams(const std::string& pattern, const std::filesystem::path& file);
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// Whether `folder` holds files of the inputs' names and contents, and only those.
bool HoldsExactly(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& inputs);
// The regular files of a folder, sorted by name.
std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder);

}  // namespace arcsetbench
