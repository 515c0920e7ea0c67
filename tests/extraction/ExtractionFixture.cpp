#include "extraction/ExtractionFixture.h"

#include <cstdlib>
#include <filesystem>
#include <algorithm>

#include "archive/ByteOrder.h"
#include "archive/CRC32.h"
#include "archive/LibraryInterface.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace extraction {

namespace {

#ifdef _WIN32
constexpr const char* kTempVariable = "TMP";  // what GetTempPathA looks at first
#else
constexpr const char* kTempVariable = "TMPDIR";
#endif

void SetTemp(const char* value) {
#ifdef _WIN32
  ::SetEnvironmentVariableA(kTempVariable, value);
#else
  if (value == nullptr) ::unsetenv(kTempVariable);
  else ::setenv(kTempVariable, value, 1);
#endif
}

void AppendU32(Bytes& out, std::uint32_t value) {
  std::uint8_t bytes[4];
  bzip2arc::StoreU32LE(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

void AppendEndBlock(Bytes& out) {
  AppendU32(out, 0);
  out.push_back(0);
  AppendU32(out, 0);
}

}  // namespace

CallbackLog& Log() {
  static CallbackLog log;
  return log;
}

void BZ2ARC_CALL RecordProgress(std::int32_t percent, std::int32_t bytes, std::int32_t* cancel) {
  CallbackLog& log = Log();
  *cancel = static_cast<std::int32_t>(log.Reports.size()) == log.CancelAt ? log.CancelAnswer : 0;
  log.Reports.push_back({percent, bytes});
}

void BZ2ARC_CALL RecordDisk(std::uint8_t volume) {
  if (Log().OnDisk != nullptr) Log().OnDisk(volume);
  Log().DiskRequests.push_back(volume);
}

bzip2arc::WriterEntry Entry(const std::string& name, const Bytes& content) {
  bzip2arc::WriterEntry entry;
  entry.Name = name;
  entry.Content = content;
  entry.DateTime = 0x5A6B4C21;  // 2025-03-11 09:33:02
  return entry;
}

Bytes LiteralPatch(const Bytes& content) {
  Bytes patch;
  AppendU32(patch, 0);
  patch.push_back(0);
  AppendU32(patch, static_cast<std::uint32_t>(content.size()));
  AppendU32(patch, bzip2arc::CRC32Checksum(content.data(), content.size()));
  patch.insert(patch.end(), content.begin(), content.end());
  AppendEndBlock(patch);
  return patch;
}

Bytes AppendingPatch(const Bytes& old, const Bytes& tail) {
  Bytes rebuilt = old;
  rebuilt.insert(rebuilt.end(), tail.begin(), tail.end());
  Bytes patch;
  AppendU32(patch, static_cast<std::uint32_t>(old.size()));
  patch.push_back(1);
  AppendU32(patch, bzip2arc::CRC32Checksum(rebuilt.data(), rebuilt.size()));
  AppendU32(patch, bzip2arc::CRC32Checksum(old.data(), old.size()));
  AppendU32(patch, static_cast<std::uint32_t>(tail.size()));
  AppendU32(patch, 20);  // two copy records
  patch.insert(patch.end(), tail.begin(), tail.end());
  std::uint8_t record[10];
  bzip2arc::StoreU16LE(record, static_cast<std::uint16_t>(old.size()));
  bzip2arc::StoreU32LE(record + 2, 1);
  bzip2arc::StoreU32LE(record + 6, 1);
  patch.insert(patch.end(), record, record + 10);
  // The inserted tail ends the block: a zero-length copy after it.
  bzip2arc::StoreU16LE(record, 0);
  bzip2arc::StoreU32LE(record + 6, static_cast<std::uint32_t>(rebuilt.size() + 1));
  patch.insert(patch.end(), record, record + 10);
  AppendEndBlock(patch);
  return patch;
}

void ExtractionTest::SetUp() {
  Log() = CallbackLog{};
  const char* saved = std::getenv(kTempVariable);
  hadTemp_ = saved != nullptr;
  if (hadTemp_) savedTemp_ = saved;
  SetTemp(work.Path().string().c_str());
}

void ExtractionTest::TearDown() { SetTemp(hadTemp_ ? savedTemp_.c_str() : nullptr); }

void ExtractionTest::WriteSet(const std::vector<bzip2arc::WriterEntry>& entries,
                              const bzip2arc::WriterOptions& options) {
  bzip2arc::WriteArchiveSet(medium.Path(), bzip2arc::BuildArchiveSet(entries, options));
}

std::string ExtractionTest::ExtractAllMessage(const char* key, ProgressProc progress, DiskProc disk) {
  const std::string defaultKey(std::begin(bzip2arc::kDefaultDirectoryKey), std::end(bzip2arc::kDefaultDirectoryKey));
  const std::string folder = destination.Path().string();
  const std::string pattern = Pattern();
  const char* usedKey = key != nullptr ? key : defaultKey.c_str();
  try {
    bzip2arc::ExtractAll(pattern.c_str(), usedKey, folder.c_str(), progress, disk);
  } catch (const bzip2arc::Exception& error) {
    return error.Message();
  }
  return "";
}

std::vector<std::string> ExtractionTest::WorkLeftovers() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(work.Path()))
    names.push_back(entry.path().filename().string());
  return names;
}

bool ExtractionTest::NothingBesideTheFolders() const {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(root.Path())) {
    (void)entry;
    ++count;
  }
  return count == 3;
}

std::vector<std::string> ExtractionTest::DestinationNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(destination.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace extraction
