#include "CheckedDirectory.h"

#include "ArchiveReader.h"
#include "Platform.h"

namespace bzip2arc {

namespace {

void ReadDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store,
                   bool checkRecords) {
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
    if (checkRecords) {
      ForRecord(record, [&] {
        CheckDirectoryRecord(record, header);
        CheckRecordName(record.NameView());
      });
    }
    store.Append(record);
  }
}

}  // namespace

void ReadCheckedDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store) {
  ReadDirectory(volumePattern, key, header, store, true);
}

void ReadStoredDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store) {
  ReadDirectory(volumePattern, key, header, store, false);
}

}  // namespace bzip2arc
