// Folders as extraction leaves them, to compare one extraction with another.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "support/TempFolder.h"

namespace arcsettest {

namespace fs = std::filesystem;
using testsupport::Bytes;

// Each file's content, time and whether it is read-only, by name.
using Snapshot = std::map<std::string, std::tuple<Bytes, fs::file_time_type, bool>>;

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
