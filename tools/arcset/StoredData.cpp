#include "StoredData.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "archive/FileExtraction.h"
#include "archive/MemoryStream.h"
#include "archive/Platform.h"

namespace arcset {

namespace {

[[noreturn]] void RaiseNamed(const char* before, std::string_view name, const char* after) {
  bzip2arc::MessageText message;
  message.Append(before).AppendPrintable(name).Append(after);
  throw bzip2arc::EArchiveError(message);
}

std::string WorkFileName() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const std::string name = "arcset-" + std::to_string(device()) + "-" + std::to_string(counter++) + ".tmp";
  return (std::filesystem::temp_directory_path() / name).string();
}

}  // namespace

void RaiseCorrupted(const bzip2arc::DirectoryRecord& record) { RaiseNamed("File ", record.NameView(), " is corrupted"); }

std::int64_t StoredLength(const bzip2arc::DirectoryRecord& record) {
  const std::int64_t length = static_cast<std::int64_t>(record.EndOffset) - record.StartOffset;
  return length > 0 ? length : 0;
}

void GatherStoredData(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                      const bzip2arc::ArchiveHeader& header, bzip2arc::TStream& into) {
  const bzip2arc::StoredDataLocation location = bzip2arc::LocateStoredData(record, header);
  int volume = location.Volume;
  std::int64_t position = location.Offset;
  std::int64_t gathered = 0;
  const auto piece = std::make_unique<std::uint8_t[]>(bzip2arc::kPieceSize * 8);
  while (gathered < location.Length) {
    bzip2arc::platform::PathText name;
    if (!bzip2arc::FormatVolumeName(volumePattern, volume, name)) RaiseNamed("Path too long: ", name.View(), "");
    if (!bzip2arc::platform::FileExists(name.c_str())) {
      bzip2arc::MessageText message;
      message.Append("Disk #").Append(volume + 1).Append(" needed!");
      throw bzip2arc::EArchiveError(message);
    }
    bzip2arc::TFileStream source(name.c_str(), bzip2arc::FileMode::OpenReadShared);
    const std::int64_t available = static_cast<std::int64_t>(source.Size()) - position;
    if (available <= 0) RaiseNamed("Stored data of \"", record.NameView(), "\" lies past the end of its volume");
    source.SetPosition(static_cast<std::int32_t>(position));
    std::int64_t wanted = location.Length - gathered;
    if (wanted > available) wanted = available;
    while (wanted > 0) {
      const std::int32_t step = wanted < bzip2arc::kPieceSize * 8 ? static_cast<std::int32_t>(wanted)
                                                                  : bzip2arc::kPieceSize * 8;
      const std::int32_t got = source.Read(piece.get(), step);
      into.WriteBuffer(piece.get(), got);
      gathered += got;
      wanted -= got;
      if (got < step) break;  // the volume shrank meanwhile
    }
    if (gathered < location.Length) {
      if (volume == bzip2arc::kMaxVolumes - 1) RaiseNamed("Stored data of \"", record.NameView(), "\" runs past volume 255");
      position = 0;
      ++volume;
    }
  }
}

std::unique_ptr<bzip2arc::TStream> GatherToStream(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                                                  const bzip2arc::ArchiveHeader& header, std::int64_t memoryLimit) {
  const std::int64_t length = StoredLength(record);
  if (length <= memoryLimit) {
    auto memory = std::make_unique<bzip2arc::TMemoryStream>();
    memory->Bytes().reserve(static_cast<std::size_t>(length));
    GatherStoredData(volumePattern, record, header, *memory);
    return memory;
  }
  // Unnamed on POSIX, deleted on closing on Windows: nothing outlives us.
  auto file = std::make_unique<bzip2arc::TFileStream>(WorkFileName().c_str(), bzip2arc::FileMode::CreateWorkFile);
  GatherStoredData(volumePattern, record, header, *file);
  return file;
}

}  // namespace arcset
