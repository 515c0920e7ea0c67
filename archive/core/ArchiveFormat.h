// The on-disk layout of an archive set: the 33-byte archive header, the
// 104-byte directory records, the logical offsets that place stored data in
// the volumes, and the volume names. Records are decoded from little-endian
// bytes field by field; nothing relies on the host's struct layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Error.h"

namespace bzip2arc {

constexpr std::size_t kArchiveHeaderSize = 33;
constexpr std::size_t kDirectoryRecordSize = 104;
constexpr std::size_t kMaxNameLength = 64;
// The volume index of a record is one byte.
constexpr int kMaxVolumes = 256;

// The initialisation vector of the directory cipher.
inline constexpr std::uint8_t kDirectoryVector[8] = {0x9C, 0x41, 0xE7, 0x2B, 0x05, 0xD8, 0x6A, 0xF3};

struct ArchiveHeader {
  std::uint8_t Encrypted = 0;  // 1: the directory is enciphered
  std::int32_t EntryCount = 0;
  std::int32_t VolumeSize = 0;       // share of each volume after volume 0
  std::int32_t FirstVolumeSize = 0;  // share of volume 0, header and directory included
  std::uint8_t Reserved[20] = {};    // not read by the library
};

// Record kinds.
constexpr std::uint8_t kKindFile = 0;
constexpr std::uint8_t kKindPatch = 1;

struct DirectoryRecord {
  std::uint8_t NameLength = 0;
  char Name[kMaxNameLength] = {};
  std::uint32_t Attributes = 0;
  std::uint32_t DateTime = 0;  // MS-DOS date (high 16 bits) and time (low 16 bits), local time
  std::int32_t Size = 0;       // decompressed length
  std::uint8_t Reserved[17] = {};  // not read by the library
  std::int32_t StartOffset = 0;    // logical offsets of the stored bzip2 stream
  std::int32_t EndOffset = 0;
  std::uint8_t Volume = 0;  // volume that holds StartOffset
  std::uint8_t Kind = kKindFile;

  // The name, cut to what the record can hold.
  std::string_view NameView() const {
    return std::string_view(Name, NameLength < kMaxNameLength ? NameLength : kMaxNameLength);
  }
  // Sets the name; longer names are cut to 64 characters.
  void SetName(std::string_view name);
  // The length of the stored bzip2 stream; negative when the offsets are reversed.
  std::int64_t StoredLength() const { return static_cast<std::int64_t>(EndOffset) - StartOffset; }
};

void DecodeArchiveHeader(const std::uint8_t* bytes, ArchiveHeader& header);
void EncodeArchiveHeader(const ArchiveHeader& header, std::uint8_t* bytes);
void DecodeDirectoryRecord(const std::uint8_t* bytes, DirectoryRecord& record);
void EncodeDirectoryRecord(const DirectoryRecord& record, std::uint8_t* bytes);

// Where a logical offset of the set lies.
struct VolumePosition {
  std::int64_t Volume = 0;  // may exceed 255 for hostile headers; callers check
  std::int64_t Offset = 0;  // physical offset inside that volume
};

// The location rule. Preconditions: offset >= 0, and offset < FirstVolumeSize
// or VolumeSize > 0.
VolumePosition LocateLogicalOffset(std::int32_t offset, const ArchiveHeader& header);

// Where a record's stored data starts, taken from its own Volume field, and
// how long it is.
struct StoredDataLocation {
  std::uint8_t Volume = 0;
  std::int64_t Offset = 0;
  std::int64_t Length = 0;
};
StoredDataLocation LocateStoredData(const DirectoryRecord& record, const ArchiveHeader& header);

// Rejects, with EArchiveError, a record that breaks what a writer guarantees:
// a name length above 64, negative or reversed offsets, stored data whose
// Volume disagrees with StartOffset, data beyond volume 0 when VolumeSize is
// not positive, or data that would need a volume past 255.
void CheckDirectoryRecord(const DirectoryRecord& record, const ArchiveHeader& header);

// The work files that extraction puts beside the destination file.
inline constexpr char kPatchStreamFile[] = "patch.tmp";
inline constexpr char kOldCopyFile[] = "patch.old";

// Rejects, with "Invalid file name in archive", a name that could lead
// outside the destination folder, to a device, onto another record's file or
// onto a work file: empty; ending in a dot or a blank (Windows drops them);
// holding "\", "/", ":", "<", ">", '"', "|", "?", "*" or a control character
// (a zero byte included); a Windows device name (CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM and LPT followed by 0-9 or by the superscripts 1-3 of code page
// 1252) in any letter case, also with blanks or an extension after it
// ("nul .txt", "LPT1.txt"); a work file's name in any letter case.
void CheckRecordName(std::string_view name);

// The file name of volume `volume`: the pattern with its last "%d" replaced
// by the number in decimal (an earlier one belongs to a folder's name). Other
// text, "%" signs included, stays as it is.
// Returns false when the result does not fit `name`.
bool FormatVolumeName(const char* pattern, int volume, TextBuffer& name);

}  // namespace bzip2arc
