// The directory as the tools take it: checked record by record as it is
// read, in memory that does not grow with its length, and failures that name
// the record they concern.
#pragma once

#include "ArchiveFormat.h"
#include "DirectoryStore.h"

namespace bzip2arc {

// Reads the header into `header` and the records into `store`. A directory
// that cannot fit in volume 0 is refused before any record is read ("Damaged
// archive header: ..." when the header's share of volume 0 cannot hold it,
// "Error reading archive header!" when the volume is too short); then each
// record must pass CheckDirectoryRecord and CheckRecordName as it comes, and
// the first that does not ends the reading with its message.
void ReadCheckedDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store);

// The same without the record checks, for showing records as they are
// stored; a directory that cannot fit in volume 0 is still refused.
void ReadStoredDirectory(const char* volumePattern, const char* key, ArchiveHeader& header, DirectoryStore& store);

// Runs `step`; an error that escapes it names `record` (Exception::Record).
template <class Step>
void ForRecord(const DirectoryRecord& record, Step&& step) {
  try {
    step();
  } catch (Exception& error) {
    error.SetRecord(record.NameView());
    throw;
  }
}

}  // namespace bzip2arc
