// Shared set-up of the extraction tests: the medium, the destination and the
// library's work folder side by side in one root, so that writes anywhere
// else are easy to see, and callbacks that record what they hear.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "archive/core/DirectoryKey.h"
#include "archive/core/LibraryInterface.h"
#include "archive/core/SetExtraction.h"
#include "support/TempFolder.h"

namespace extraction {

using namespace bzip2arc;
namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::PatchBuilder;

using Files = std::map<std::string, Bytes>;

using Report = std::pair<std::int32_t, std::int32_t>;  // percent, bytes

// What the progress reports said, and how to answer them.
struct CallbackLog {
  std::vector<Report> Reports = {};
  std::size_t CancelAt = SIZE_MAX;  // the report that answers CancelAnswer
  std::int32_t CancelAnswer = 1;
  std::function<void()> OnReport = nullptr;  // run first on every report

  void Hear(std::int32_t percent, std::int32_t bytes, std::int32_t& cancel) {
    if (OnReport) OnReport();
    cancel = Reports.size() == CancelAt ? CancelAnswer : 0;
    Reports.push_back({percent, bytes});
  }
};

// The exported callback types carry no context: their log is global.
inline CallbackLog gLog;
inline void BZ2ARC_CALL RecordProgress(std::int32_t percent, std::int32_t bytes, std::int32_t* cancel) {
  gLog.Hear(percent, bytes, *cancel);
}

// The internal entry points' hooks log into a test's own.
class LoggingHooks final : public ExtractionHooks {
 public:
  explicit LoggingHooks(CallbackLog& log) : log_(log) {}
  void Progress(std::int32_t percent, std::int32_t bytes, std::int32_t& cancel) override {
    log_.Hear(percent, bytes, cancel);
  }

 private:
  CallbackLog& log_;
};

inline const std::string kKey = kDirectoryKey;

inline WriterEntry Entry(std::string name, Bytes content, std::uint8_t kind = kKindFile,
                         std::uint32_t attributes = 0x20) {
  return {std::move(name), attributes, 0x5A6B4C21, kind, std::move(content)};  // 2025-03-11 09:33:02
}

// A patch stream of one delta block that copies `old` whole and appends `tail`.
inline Bytes AppendingPatch(const Bytes& old, const Bytes& tail) {
  Bytes rebuilt = old;
  rebuilt.insert(rebuilt.end(), tail.begin(), tail.end());
  const Bytes table =
      PatchBuilder::Table({{std::uint32_t(old.size()), 1, 1}, {0, 1, std::uint32_t(rebuilt.size() + 1)}});
  return PatchBuilder().Delta(old, rebuilt, tail, table).End().Stream;
}

class ExtractionTest : public ::testing::Test {
 public:
  ExtractionTest() { gLog = {}; }

  std::string Pattern() const { return medium.File("setup%d.lib"); }
  void WriteSet(const std::vector<WriterEntry>& entries, std::int64_t volumeSize = 0, bool encrypt = false) {
    WriterOptions options;
    options.Encrypt = encrypt;
    options.VolumeSize = volumeSize;
    WriteArchiveSet(medium.Path(), BuildArchiveSet(entries, options));
  }
  void ChangeVolume0(const std::function<void(Bytes&)>& change) const {
    Bytes volume = testsupport::ReadFileBytes(medium.File("setup0.lib"));
    change(volume);
    testsupport::WriteFileBytes(medium.File("setup0.lib"), volume);
  }
  // Record `index` of a plain set.
  void ChangeRecord(std::size_t index, const std::function<void(DirectoryRecord&)>& change) const {
    ChangeVolume0([&](Bytes& volume) {
      DirectoryRecord record;
      std::uint8_t* bytes = &volume[kArchiveHeaderSize + kDirectoryRecordSize * index];
      DecodeDirectoryRecord(bytes, record);
      change(record);
      EncodeDirectoryRecord(record, bytes);
    });
  }
  // Extracts the set into the destination through ExtractSet, its work file
  // in `work`, logging to `log` unless told not to report: "" or the
  // failure's message.
  std::string ExtractSetMessage(const std::string& key = kKey, bool report = true) {
    LoggingHooks hooks(log);
    return ExtractSetMessage(key, destination.Path().string(), report ? &hooks : nullptr);
  }
  std::string ExtractSetMessage(const std::string& key, const std::string& folder, ExtractionHooks* hooks) const {
    const std::string workFile = WorkFile();
    return testsupport::ErrorMessage<Exception>([&] {
      ExtractSet(Pattern().c_str(), key.c_str(), folder.c_str(), {workFile.c_str(), hooks, nullptr});
    });
  }
  std::string WorkFile() const { return work.File("bzin.tmp"); }
  // The destination's files and their contents.
  Files Tree() const {
    Files files;
    for (const auto& file : fs::directory_iterator(destination.Path()))
      files[file.path().filename().string()] = testsupport::ReadFileBytes(file.path());
    return files;
  }
  static auto Count(const fs::path& folder) { return std::distance(fs::directory_iterator(folder), {}); }
  // The read-only attribute on Windows, no write permission at all on POSIX.
  static bool IsReadOnly(const std::string& path) {
    const auto anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (fs::status(path).permissions() & anyWrite) == fs::perms::none;
  }
  // No work file left, nothing written beside the three folders.
  bool Clean() const { return Count(work.Path()) == 0 && Count(root.Path()) == 3; }

  testsupport::TempFolder root, medium{root.Path()}, destination{root.Path()}, work{root.Path()};
  CallbackLog log;
};

}  // namespace extraction
