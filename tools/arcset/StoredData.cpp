#include "StoredData.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "archive/core/FileExtraction.h"
#include "archive/core/MemoryStream.h"
#include "archive/core/Platform.h"

namespace arcset {

namespace {

std::string WorkFileName() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const std::string name = "arcset-" + std::to_string(device()) + "-" + std::to_string(counter++) + ".tmp";
  return (std::filesystem::temp_directory_path() / name).string();
}

}  // namespace

std::int64_t StoredLength(const bzip2arc::DirectoryRecord& record) {
  const std::int64_t length = static_cast<std::int64_t>(record.EndOffset) - record.StartOffset;
  return length > 0 ? length : 0;
}

std::unique_ptr<bzip2arc::TStream> GatherToStream(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                                                  const bzip2arc::ArchiveHeader& header, std::int64_t memoryLimit) {
  const std::int64_t length = StoredLength(record);
  if (length <= memoryLimit) {
    auto memory = std::make_unique<bzip2arc::TMemoryStream>();
    memory->Bytes().reserve(static_cast<std::size_t>(length));
    bzip2arc::GatherStoredData(volumePattern, record, header, nullptr, *memory);
    return memory;
  }
  // Unnamed on POSIX, deleted on closing on Windows: nothing outlives us.
  auto file = std::make_unique<bzip2arc::TFileStream>(WorkFileName().c_str(), bzip2arc::FileMode::CreateWorkFile);
  bzip2arc::GatherStoredData(volumePattern, record, header, nullptr, *file);
  return file;
}

}  // namespace arcset
