// Builds archive sets: compresses every entry into one bzip2 stream, lays
// the streams out after the directory, cuts the logical byte sequence into
// volumes and enciphers the directory. Entries are compressed block by block
// on several threads (ParallelCompressor) and volumes written as they fill,
// so memory stays bounded whatever the sizes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/DirectoryKey.h"

namespace bzip2arc {

struct WriterEntry {
  std::string Name;
  std::uint32_t Attributes = 0x20;  // archive bit
  std::uint32_t DateTime = 0;       // MS-DOS date and time, local
  std::uint8_t Kind = kKindFile;
  // The file's bytes, or for a patch record the patch stream.
  std::vector<std::uint8_t> Content;
  // Instead of Content: the file read in pieces when the entry's turn comes.
  std::filesystem::path ContentFile{};
  // Instead of Content: made when the entry's turn comes, and let go after.
  std::function<std::vector<std::uint8_t>()> MakeContent{};
};

struct WriterOptions {
  bool Encrypt = true;
  std::vector<std::uint8_t> Key = std::vector<std::uint8_t>(kDirectoryKey, kDirectoryKey + sizeof kDirectoryKey - 1);
  // Share of each volume after volume 0; 0 keeps the whole set in one volume.
  std::int64_t VolumeSize = 0;
  // Share of volume 0 (header and directory included); 0 means VolumeSize.
  std::int64_t FirstVolumeSize = 0;
  // Compression threads; 0: one per core. The output does not depend on it.
  unsigned Threads = 0;
  // Order of the stored streams by entry index; empty: directory order.
  std::vector<std::size_t> StorageOrder;
  int BlockSize100k = 9;
};

// The complete set in memory: the bytes of volume 0, 1, ... Fails with the
// reason on names, keys or sizes the format cannot hold.
std::vector<std::vector<std::uint8_t>> BuildArchiveSet(const std::vector<WriterEntry>& entries,
                                                       const WriterOptions& options);

struct WrittenSet {
  std::size_t Volumes = 0;
  std::int64_t Bytes = 0;
};

// Builds the set straight into `folder` as setup0.lib, setup1.lib, ..., all
// or nothing like WriteArchiveSet.
WrittenSet CreateArchiveSet(const std::filesystem::path& folder, const std::vector<WriterEntry>& entries,
                            const WriterOptions& options);

// Writes the volumes as setup0.lib, setup1.lib, ... into `folder`, all or
// nothing: they are written under temporary names and renamed at the end.
// Volumes of an earlier, longer set that would follow the new last one are
// removed, so the folder holds exactly one set.
void WriteArchiveSet(const std::filesystem::path& folder, const std::vector<std::vector<std::uint8_t>>& volumes);

// The MS-DOS form (local time) of a file time; 1980-01-01 for earlier times.
std::uint32_t DosDateTimeOf(std::filesystem::file_time_type time);

}  // namespace bzip2arc
