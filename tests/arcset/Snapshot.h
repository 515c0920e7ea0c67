// Folders as extraction leaves them, to compare one extraction with another.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "support/TempFolder.h"

namespace arcsettest {

namespace fs = std::filesystem;
using testsupport::Bytes;

struct FileState {
  Bytes Content;
  fs::file_time_type Time;
  bool ReadOnly = false;
  bool operator==(const FileState&) const = default;
};
inline void PrintTo(const FileState& file, std::ostream* out) { *out << file.Content.size() << " bytes"; }
using Snapshot = std::map<std::string, FileState>;

// Times of the last day count as one: a file whose extraction failed keeps
// the time of its last write, which differs from run to run.
inline Snapshot TakeSnapshot(const fs::path& folder) {
  const auto recent = fs::file_time_type::clock::now() - std::chrono::hours(24);
  Snapshot snapshot;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const bool readOnly = (entry.status().permissions() & fs::perms::owner_write) == fs::perms::none;
    const auto time = entry.last_write_time() > recent ? fs::file_time_type::max() : entry.last_write_time();
    snapshot[entry.path().filename().string()] = {testsupport::ReadFileBytes(entry), time, readOnly};
  }
  return snapshot;
}

}  // namespace arcsettest
