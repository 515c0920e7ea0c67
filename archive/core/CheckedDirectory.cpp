#include "CheckedDirectory.h"

#include "ArchiveReader.h"
#include "Platform.h"

namespace bzip2arc {

void ReadCheckedDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store) {
  platform::EnterRootFolder();
  DirectoryReader reader(volumePattern, key, header);
  const std::int64_t records = header.EntryCount > 0 ? header.EntryCount : 0;
  const std::int64_t directoryEnd = static_cast<std::int64_t>(kArchiveHeaderSize) + records * kDirectoryRecordSize;
  if (records > 0 && directoryEnd > header.FirstVolumeSize) {
    MessageText message;
    message.Append("Damaged archive header: a directory of ")
        .Append(header.EntryCount)
        .Append(" records does not fit in the first volume");
    throw EArchiveError(message);
  }
  if (directoryEnd > reader.VolumeLength()) throw EArchiveError("Error reading archive header!");
  DirectoryRecord record;
  while (reader.Next(record)) {
    ForRecord(record, [&] {
      CheckDirectoryRecord(record, header);
      CheckRecordName(record.NameView());
    });
    store.Append(record);
  }
}

}  // namespace bzip2arc
