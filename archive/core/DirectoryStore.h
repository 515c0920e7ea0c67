// A directory of any length in bounded memory: records go to a work file
// and come back from it by index, a block at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"
#include "Stream.h"

namespace bzip2arc {

class DirectoryStore {
 public:
  // The records live in a work file named after `workFile` (nameless on
  // POSIX, deleted on closing on Windows), created with the first block.
  explicit DirectoryStore(const char* workFile);
  ~DirectoryStore();
  DirectoryStore(const DirectoryStore&) = delete;
  DirectoryStore& operator=(const DirectoryStore&) = delete;

  void Append(const DirectoryRecord& record);
  std::size_t Count() const { return count_; }
  // Record `index` (< Count()).
  DirectoryRecord operator[](std::size_t index);

 private:
  static constexpr std::size_t kBlockRecords = 256;
  struct Block {
    std::uint8_t Bytes[kBlockRecords * kDirectoryRecordSize];
  };

  void LoadBlock(std::size_t block);

  FixedText<1024> workFile_;
  std::unique_ptr<TFileStream> file_;
  std::size_t count_ = 0;
  // The records after the last full block, not yet written.
  std::unique_ptr<Block> tail_;
  // A block read back, and which.
  std::unique_ptr<Block> loaded_;
  std::size_t loadedBlock_ = SIZE_MAX;
};

}  // namespace bzip2arc
