#include "InMemory.h"

#include "Locations.h"
#include "archive/core/MemoryStream.h"
#include "archive/core/StoredData.h"

namespace arcset {

std::size_t StoredBytes(const bzip2arc::DirectoryRecord& record) {
  const std::int64_t length = record.StoredLength();
  return static_cast<std::size_t>(length > 0 ? length : 0);
}

std::unique_ptr<bzip2arc::TStream> GatherToStream(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                                                  const bzip2arc::ArchiveHeader& header, std::int64_t memoryLimit) {
  if (record.StoredLength() <= memoryLimit) {
    auto memory = std::make_unique<bzip2arc::TMemoryStream>();
    memory->Bytes().reserve(StoredBytes(record));
    bzip2arc::GatherStoredData(volumePattern, record, header, nullptr, *memory);
    return memory;
  }
  // Unnamed on POSIX, deleted on closing on Windows: nothing outlives us.
  auto file =
      std::make_unique<bzip2arc::TFileStream>(PrivateWorkFile().c_str(), bzip2arc::FileMode::CreateWorkFile);
  bzip2arc::GatherStoredData(volumePattern, record, header, nullptr, *file);
  return file;
}

bool MemorySink::Write(const std::uint8_t* data, std::int32_t count) {
  if (static_cast<std::int64_t>(bytes_.size()) + count > limit_) return false;
  bytes_.insert(bytes_.end(), data, data + count);
  return true;
}

void MemorySink::WriteTo(bzip2arc::DecodedSink& sink) const {
  if (prepared_) sink.Prepare();
  // In pieces: the sink takes 32-bit counts.
  constexpr std::size_t kPiece = std::size_t{1} << 24;
  for (std::size_t done = 0; done < bytes_.size(); done += kPiece) {
    sink.Write(bytes_.data() + done, static_cast<std::int32_t>(std::min(kPiece, bytes_.size() - done)));
  }
}

}  // namespace arcset
