// Reading the directory of an archive set from volume 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"
#include "Blowfish.h"
#include "Stream.h"

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

// The directory cipher, wiped when it goes.
class DirectoryCipher {
 public:
  DirectoryCipher() = default;
  DirectoryCipher(const DirectoryCipher&) = delete;
  DirectoryCipher& operator=(const DirectoryCipher&) = delete;
  ~DirectoryCipher();

  void Start(const char* key);
  bool Active() const { return active_; }
  void Decipher(std::uint8_t* buffer, std::int32_t length) { DecipherBuffer(context_, buffer, length); }

 private:
  BlowfishContext context_;
  bool active_ = false;
};

// Volume 0's directory, read one record at a time, so that nothing needs to
// hold more than one.
class DirectoryReader {
 public:
  // Opens volume 0 (the pattern formatted with 0) and reads the header into
  // `header`, then sets up the directory cipher under `key` (zero-terminated)
  // when the header says so. Fails with "Could not open archive file!", the
  // cipher's key-length message or "Error reading archive header!"; `header`
  // keeps what was read.
  DirectoryReader(const char* volumePattern, const char* key, ArchiveHeader& header);
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // The length of volume 0.
  std::int32_t VolumeLength() { return volume_->Size(); }
  // Reads the next of the header's EntryCount records (none when it is 0 or
  // less); false after the last. Fails with "Error reading archive header!"
  // when the record is cut short.
  bool Next(DirectoryRecord& record);

 private:
  std::unique_ptr<TFileStream> volume_;
  // Declared after the volume, so it is wiped before the volume is closed,
  // on every way out.
  DirectoryCipher cipher_;
  std::int32_t remaining_ = 0;
};

// Empties `list`, then reads the header and the directory of volume 0 into
// `header` and `list`. Fails as DirectoryReader does. After a failure the list
// keeps the records appended before it.
void ReadArchive(const char* volumePattern, const char* key, DirectoryList& list, ArchiveHeader& header);

}  // namespace bzip2arc
