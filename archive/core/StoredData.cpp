#include "StoredData.h"

#include <memory>

#include "Platform.h"

namespace bzip2arc {

namespace {

// Volume bytes move in pieces of this size.
constexpr std::int32_t kPieceSize = 10240;

// Copies `count` bytes from the source's position (a count of 0: the whole
// source from its start) in pieces, stopping at the first short read.
// Returns the number copied; a short write fails.
std::int32_t CopyBytes(TStream& source, TStream& destination, std::int32_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const auto piece = std::make_unique<std::uint8_t[]>(kPieceSize);
  std::int32_t copied = 0;
  std::int32_t got = 0;
  do {
    std::int32_t wanted = count - copied;
    if (wanted > kPieceSize) wanted = kPieceSize;
    if (wanted < 0) wanted = 0;
    got = source.Read(piece.get(), wanted);
    // A short write into the work file (disk full) must not pass unnoticed.
    destination.WriteBuffer(piece.get(), got);
    copied += got;
  } while (got >= kPieceSize);
  return copied;
}

}  // namespace

void GatherStoredData(const char* volumePattern, const DirectoryRecord& record, const ArchiveHeader& header,
                      ExtractionHooks* hooks, TStream& into) {
  const StoredDataLocation location = LocateStoredData(record, header);
  int volume = location.Volume;
  std::int64_t position = location.Offset;
  std::int64_t gathered = 0;
  while (gathered < location.Length) {
    platform::PathText name;
    if (!FormatVolumeName(volumePattern, volume, name)) RaiseNamed("Path too long: ", name.View(), "");
    while (!platform::FileExists(name.c_str())) {
      if (hooks == nullptr || !hooks->DiskMissing(static_cast<std::uint8_t>(volume))) {
        MessageText message;
        message.Append("Disk #").Append(volume + 1).Append(" needed!");
        throw EArchiveError(message);
      }
    }
    TFileStream source(name.c_str(), FileMode::OpenReadShared);
    const std::int64_t available = static_cast<std::int64_t>(source.Size()) - position;
    // A zero count would mean "the whole volume" to CopyBytes.
    if (available <= 0) RaiseNamed("Stored data of \"", record.NameView(), "\" lies past the end of its volume");
    source.SetPosition(static_cast<std::int32_t>(position));
    const std::int64_t wanted = location.Length - gathered;
    gathered += CopyBytes(source, into, static_cast<std::int32_t>(wanted < available ? wanted : available));
    if (gathered < location.Length) {
      if (volume == kMaxVolumes - 1) RaiseNamed("Stored data of \"", record.NameView(), "\" runs past volume 255");
      position = 0;
      ++volume;
    }
  }
}

}  // namespace bzip2arc
