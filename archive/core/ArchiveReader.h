// Reading the directory of an archive set from volume 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"

namespace bzip2arc {

// The caller's list of directory records, in directory order.
class DirectoryList {
 public:
  void Clear() { count_ = 0; }
  void Append(const DirectoryRecord& record);
  std::size_t Count() const { return count_; }
  const DirectoryRecord& operator[](std::size_t index) const { return items_[index]; }
  const DirectoryRecord* begin() const { return items_.get(); }
  const DirectoryRecord* end() const { return items_.get() + count_; }

 private:
  std::unique_ptr<DirectoryRecord[]> items_;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

// Empties `list`, then reads the header and the directory of volume 0 (the
// pattern formatted with 0), deciphering it under `key` (zero-terminated)
// when the header says so. Fails with "Could not open archive file!",
// "Error reading archive header!" or the cipher's key-length message. After a
// failure the list keeps the records appended before it.
void ReadArchive(const char* volumePattern, const char* key, DirectoryList& list, ArchiveHeader& header);

}  // namespace bzip2arc
