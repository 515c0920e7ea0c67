#include "Listing.h"

#include <algorithm>
#include <cstdio>

namespace arcset {

namespace {

std::string KindName(std::uint8_t kind) {
  if (kind == bzip2arc::kKindFile) return "file";
  if (kind == bzip2arc::kKindPatch) return "patch";
  return "kind " + std::to_string(kind);
}

// "YYYY-MM-DD HH:MM:SS" of a packed MS-DOS date and time, fields as stored.
std::string FormatDosDateTime(std::uint32_t dosDateTime) {
  const unsigned date = dosDateTime >> 16;
  const unsigned time = dosDateTime & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980, (date >> 5) & 0x0F,
                date & 0x1F, time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
  return text;
}

// "RHSA" with '-' for each flag not set (read-only, hidden, system, archive).
std::string AttributeLetters(std::uint32_t attributes) {
  std::string letters = "----";
  if (attributes & 0x01) letters[0] = 'R';
  if (attributes & 0x02) letters[1] = 'H';
  if (attributes & 0x04) letters[2] = 'S';
  if (attributes & 0x20) letters[3] = 'A';
  return letters;
}

// A JSON string literal of 8-bit bytes: bytes outside printable ASCII become
// \u00XX with the byte's value.
std::string JsonString(std::string_view bytes) {
  std::string text = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      text += escape;
    } else {
      text += c;
    }
  }
  return text + "\"";
}

// A name for the terminal: control bytes become \xNN, the rest stays.
std::string DisplayName(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      text += escape;
    } else {
      text += c;
    }
  }
  return text;
}

// The last volume that holds stored data of `record` (its first one when the
// data is empty or the record is damaged).
int LastVolumeOf(const bzip2arc::DirectoryRecord& record, const bzip2arc::ArchiveHeader& header) {
  try {
    bzip2arc::CheckDirectoryRecord(record, header);
  } catch (const bzip2arc::Exception&) {
    return record.Volume;
  }
  if (record.StoredLength() == 0) return record.Volume;
  return static_cast<int>(bzip2arc::LocateLogicalOffset(static_cast<std::int64_t>(record.EndOffset) - 1, header).Volume);
}

std::string VolumeRange(const bzip2arc::DirectoryRecord& record, const bzip2arc::ArchiveHeader& header) {
  const int last = LastVolumeOf(record, header);
  std::string text = std::to_string(record.Volume);
  if (last != record.Volume) text += "-" + std::to_string(last);
  return text;
}

std::string Padded(std::string text, std::size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string fill(width - text.size(), ' ');
  return right ? fill + text : text + fill;
}

}  // namespace

std::string FormatTable(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records) {
  std::string text;
  text += std::string("Directory: ") + (header.Encrypted == 1 ? "enciphered" : "plain") + ", " +
          std::to_string(records.Count()) + (records.Count() == 1 ? " record" : " records") + "\n";
  text += "Volume size: " + std::to_string(header.VolumeSize) +
          ", first volume size: " + std::to_string(header.FirstVolumeSize) + "\n";

  std::size_t nameWidth = 4;
  for (const auto& record : records) nameWidth = std::max(nameWidth, DisplayName(record.NameView()).size());
  text += Padded("Name", nameWidth, false) + "  " + Padded("Size", 10, true) + "  " + Padded("Stored", 10, true) +
          "  Kind   Date                 Attr  Volume\n";
  std::int64_t totalSize = 0;
  std::int64_t totalStored = 0;
  for (const auto& record : records) {
    totalSize += record.Size;
    totalStored += record.StoredLength();
    text += Padded(DisplayName(record.NameView()), nameWidth, false) + "  " +
            Padded(std::to_string(record.Size), 10, true) + "  " + Padded(std::to_string(record.StoredLength()), 10, true) +
            "  " + Padded(KindName(record.Kind), 5, false) + "  " + FormatDosDateTime(record.DateTime) + "  " +
            AttributeLetters(record.Attributes) + "  " + VolumeRange(record, header) + "\n";
  }
  text += Padded("", nameWidth, false) + "  " + Padded(std::to_string(totalSize), 10, true) + "  " +
          Padded(std::to_string(totalStored), 10, true) + "\n";
  return text;
}

std::string FormatJson(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records) {
  std::string text = "{\n";
  text += "  \"Encrypted\": " + std::to_string(header.Encrypted) + ",\n";
  text += "  \"EntryCount\": " + std::to_string(header.EntryCount) + ",\n";
  text += "  \"VolumeSize\": " + std::to_string(header.VolumeSize) + ",\n";
  text += "  \"FirstVolumeSize\": " + std::to_string(header.FirstVolumeSize) + ",\n";
  text += "  \"Records\": [";
  const char* separator = "\n";
  for (const auto& record : records) {
    text += separator;
    separator = ",\n";
    text += "    {\"Name\": " + JsonString(record.NameView());
    text += ", \"Size\": " + std::to_string(record.Size);
    text += ", \"StoredSize\": " + std::to_string(record.StoredLength());
    text += ", \"Kind\": " + std::to_string(record.Kind);
    text += ", \"Date\": \"" + FormatDosDateTime(record.DateTime) + "\"";
    text += ", \"DateTime\": " + std::to_string(record.DateTime);
    text += ", \"Attributes\": " + std::to_string(record.Attributes);
    text += ", \"AttributeLetters\": \"" + AttributeLetters(record.Attributes) + "\"";
    text += ", \"StartOffset\": " + std::to_string(record.StartOffset);
    text += ", \"EndOffset\": " + std::to_string(record.EndOffset);
    text += ", \"Volume\": " + std::to_string(record.Volume);
    text += ", \"LastVolume\": " + std::to_string(LastVolumeOf(record, header)) + "}";
  }
  text += records.Count() == 0 ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

}  // namespace arcset
