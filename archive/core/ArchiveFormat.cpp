#include "ArchiveFormat.h"

#include <cstring>

#include "ByteOrder.h"

namespace bzip2arc {

namespace {

// Header offsets.
constexpr std::size_t kEncryptedAt = 0;
constexpr std::size_t kEntryCountAt = 1;
constexpr std::size_t kVolumeSizeAt = 5;
constexpr std::size_t kFirstVolumeSizeAt = 9;
constexpr std::size_t kHeaderReservedAt = 13;

// Record offsets.
constexpr std::size_t kNameAt = 0;
constexpr std::size_t kAttributesAt = 65;
constexpr std::size_t kDateTimeAt = 69;
constexpr std::size_t kSizeAt = 73;
constexpr std::size_t kRecordReservedAt = 77;
constexpr std::size_t kStartOffsetAt = 94;
constexpr std::size_t kEndOffsetAt = 98;
constexpr std::size_t kVolumeAt = 102;
constexpr std::size_t kKindAt = 103;

[[noreturn]] void RaiseDamagedRecord(const DirectoryRecord& record, const char* what) {
  MessageText message;
  message.Append("Damaged directory record \"").AppendPrintable(record.NameView()).Append("\": ").Append(what);
  throw EArchiveError(message);
}

}  // namespace

void DirectoryRecord::SetName(std::string_view name) {
  if (name.size() > kMaxNameLength) name = name.substr(0, kMaxNameLength);
  std::memset(Name, 0, sizeof Name);
  std::memcpy(Name, name.data(), name.size());
  NameLength = static_cast<std::uint8_t>(name.size());
}

void DecodeArchiveHeader(const std::uint8_t* bytes, ArchiveHeader& header) {
  header.Encrypted = bytes[kEncryptedAt];
  header.EntryCount = LoadI32LE(bytes + kEntryCountAt);
  header.VolumeSize = LoadI32LE(bytes + kVolumeSizeAt);
  header.FirstVolumeSize = LoadI32LE(bytes + kFirstVolumeSizeAt);
  std::memcpy(header.Reserved, bytes + kHeaderReservedAt, sizeof header.Reserved);
}

void EncodeArchiveHeader(const ArchiveHeader& header, std::uint8_t* bytes) {
  bytes[kEncryptedAt] = header.Encrypted;
  StoreI32LE(bytes + kEntryCountAt, header.EntryCount);
  StoreI32LE(bytes + kVolumeSizeAt, header.VolumeSize);
  StoreI32LE(bytes + kFirstVolumeSizeAt, header.FirstVolumeSize);
  std::memcpy(bytes + kHeaderReservedAt, header.Reserved, sizeof header.Reserved);
}

void DecodeDirectoryRecord(const std::uint8_t* bytes, DirectoryRecord& record) {
  record.NameLength = bytes[kNameAt];
  std::memcpy(record.Name, bytes + kNameAt + 1, sizeof record.Name);
  record.Attributes = LoadU32LE(bytes + kAttributesAt);
  record.DateTime = LoadU32LE(bytes + kDateTimeAt);
  record.Size = LoadI32LE(bytes + kSizeAt);
  std::memcpy(record.Reserved, bytes + kRecordReservedAt, sizeof record.Reserved);
  record.StartOffset = LoadI32LE(bytes + kStartOffsetAt);
  record.EndOffset = LoadI32LE(bytes + kEndOffsetAt);
  record.Volume = bytes[kVolumeAt];
  record.Kind = bytes[kKindAt];
}

void EncodeDirectoryRecord(const DirectoryRecord& record, std::uint8_t* bytes) {
  bytes[kNameAt] = record.NameLength;
  std::memcpy(bytes + kNameAt + 1, record.Name, sizeof record.Name);
  StoreU32LE(bytes + kAttributesAt, record.Attributes);
  StoreU32LE(bytes + kDateTimeAt, record.DateTime);
  StoreI32LE(bytes + kSizeAt, record.Size);
  std::memcpy(bytes + kRecordReservedAt, record.Reserved, sizeof record.Reserved);
  StoreI32LE(bytes + kStartOffsetAt, record.StartOffset);
  StoreI32LE(bytes + kEndOffsetAt, record.EndOffset);
  bytes[kVolumeAt] = record.Volume;
  bytes[kKindAt] = record.Kind;
}

VolumePosition LocateLogicalOffset(std::int32_t offset, const ArchiveHeader& header) {
  if (offset < header.FirstVolumeSize) return {0, offset};
  // Below 2^32 even for a negative FirstVolumeSize: unsigned 32-bit arithmetic
  // is exact here and needs no 64-bit division.
  const std::uint32_t behind = static_cast<std::uint32_t>(offset) - static_cast<std::uint32_t>(header.FirstVolumeSize);
  const auto volumeSize = static_cast<std::uint32_t>(header.VolumeSize);
  return {1 + static_cast<std::int64_t>(behind / volumeSize), static_cast<std::int64_t>(behind % volumeSize)};
}

StoredDataLocation LocateStoredData(const DirectoryRecord& record, const ArchiveHeader& header) {
  StoredDataLocation location;
  location.Volume = record.Volume;
  location.Offset = record.StartOffset;
  if (record.Volume != 0) {
    location.Offset = static_cast<std::int64_t>(record.StartOffset) - header.FirstVolumeSize -
                      static_cast<std::int64_t>(record.Volume - 1) * header.VolumeSize;
  }
  location.Length = record.StoredLength();
  return location;
}

void CheckDirectoryRecord(const DirectoryRecord& record, const ArchiveHeader& header) {
  if (record.NameLength > kMaxNameLength) RaiseDamagedRecord(record, "name longer than 64 characters");
  if (record.StartOffset < 0 || record.EndOffset < record.StartOffset)
    RaiseDamagedRecord(record, "stored data has invalid offsets");
  if (record.EndOffset == record.StartOffset) return;  // nothing is read

  const bool beyondVolume0 = record.EndOffset > header.FirstVolumeSize;
  if (beyondVolume0 && header.VolumeSize <= 0) {
    throw EArchiveError("Damaged archive header: volume size must be positive for data beyond the first volume");
  }
  const VolumePosition start = LocateLogicalOffset(record.StartOffset, header);
  if (start.Volume != record.Volume) RaiseDamagedRecord(record, "volume number does not match the data offset");
  const VolumePosition last = LocateLogicalOffset(record.EndOffset - 1, header);
  if (last.Volume >= kMaxVolumes) RaiseDamagedRecord(record, "stored data runs past volume 255");
}

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows compares names without regard to the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

// After COM and LPT Windows takes 0-9 and the superscripts 1, 2 and 3, which
// code page 1252 spells 0xB9, 0xB2 and 0xB3.
bool IsPortDigit(char c) {
  const auto code = static_cast<unsigned char>(c);
  return (code >= '0' && code <= '9') || code == 0xB9 || code == 0xB2 || code == 0xB3;
}

// Windows opens a device, not a file, for these names in any folder, also
// with blanks or an extension after them ("nul .txt").
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsIgnoringCase(base, device)) return true;
  }
  return base.size() == 4 && (EqualsIgnoringCase(base.substr(0, 3), "COM") || EqualsIgnoringCase(base.substr(0, 3), "LPT")) &&
         IsPortDigit(base[3]);
}

// Windows drops a trailing dot or blank: "a.txt." and "a.txt " land on "a.txt".
bool EndsInDotOrBlank(std::string_view name) { return name.back() == '.' || name.back() == ' '; }

// Separators and drive colons lead elsewhere; the rest Windows refuses or
// takes as wildcards.
bool HasForbiddenCharacter(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < ' ' || std::string_view("\\/:<>\"|?*").find(c) != std::string_view::npos)
      return true;
  }
  return false;
}

// The work files that extraction keeps beside the destination file: a record
// of that name would be deleted again after a reported success.
bool IsWorkFileName(std::string_view name) {
  return EqualsIgnoringCase(name, kPatchStreamFile) || EqualsIgnoringCase(name, kOldCopyFile);
}

}  // namespace

void CheckRecordName(std::string_view name) {
  const bool invalid = name.empty() || EndsInDotOrBlank(name) || HasForbiddenCharacter(name) || IsDeviceName(name) ||
                       IsWorkFileName(name);
  if (invalid) RaiseNamed("Invalid file name in archive: \"", name, "\"");
}

bool FormatVolumeName(const char* pattern, int volume, TextBuffer& name) {
  name.Clear();
  const std::string_view text(pattern);
  const std::size_t at = text.rfind("%d");
  if (at == std::string_view::npos) {
    name.Append(text);
  } else {
    name.Append(std::string_view(text.data(), at)).Append(volume).Append(text.data() + at + 2);
  }
  return !name.Truncated();
}

}  // namespace bzip2arc
