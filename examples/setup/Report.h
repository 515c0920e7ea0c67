// What the sample main program was given: its command line, the arguments
// as the C runtime and as CommandLineToArgvW split them, how it was asked to
// show itself, and the files in its own folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct FolderFile {
  std::string Name;
  std::uint64_t Size = 0;
  std::uint32_t Crc = 0;  // CRC-32 of the content; 0 when it can't be read
  bool Readable = false;
};

struct Report {
  std::string CommandLine;
  std::vector<std::string> Arguments;      // the C runtime's argv
  std::vector<std::string> WideArguments;  // CommandLineToArgvW's, in the ANSI code page
  int ShowCommand = -1;  // wShowWindow of the start-up information, -1 if not given
  std::string Folder;
  std::vector<FolderFile> Files;  // sorted by name, ignoring case
};

Report GatherReport();

// The report as lines of text, ended by CR LF.
std::string FormatReport(const Report& report);

}  // namespace sample
