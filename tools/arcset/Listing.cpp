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

// A JSON string literal of UTF-8 text: control characters become \u00XX.
std::string JsonString(std::string_view text) {
  std::string literal = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      literal += '\\';
      literal += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      literal += escape;
    } else {
      literal += c;
    }
  }
  return literal + "\"";
}

// Columns that UTF-8 `text` takes on a terminal: one per character, as for
// every character of the code pages that names come in.
std::size_t DisplayWidth(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
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
  const std::size_t columns = DisplayWidth(text);
  if (columns >= width) return text;
  const std::string fill(width - columns, ' ');
  return right ? fill + text : text + fill;
}

}  // namespace

void FormatTable(const bzip2arc::ArchiveHeader& header, bzip2arc::DirectoryStore& records, const Names& names,
                 const Printer& print) {
  std::string text;
  text += std::string("Directory: ") + (header.Encrypted == 1 ? "enciphered" : "plain") + ", " +
          std::to_string(records.Count()) + (records.Count() == 1 ? " record" : " records") + "\n";
  text += "Volume size: " + std::to_string(header.VolumeSize) +
          ", first volume size: " + std::to_string(header.FirstVolumeSize) + "\n";

  std::size_t nameWidth = 4;
  for (std::size_t i = 0; i < records.Count(); ++i)
    nameWidth = std::max(nameWidth, DisplayWidth(names.Shown(records[i].NameView())));
  text += Padded("Name", nameWidth, false) + "  " + Padded("Size", 10, true) + "  " + Padded("Stored", 10, true) +
          "  Kind   Date                 Attr  Volume\n";
  std::int64_t totalSize = 0;
  std::int64_t totalStored = 0;
  for (std::size_t i = 0; i < records.Count(); ++i) {
    const bzip2arc::DirectoryRecord record = records[i];
    totalSize += record.Size;
    totalStored += record.StoredLength();
    text += Padded(names.Shown(record.NameView()), nameWidth, false) + "  " +
            Padded(std::to_string(record.Size), 10, true) + "  " + Padded(std::to_string(record.StoredLength()), 10, true) +
            "  " + Padded(KindName(record.Kind), 5, false) + "  " + FormatDosDateTime(record.DateTime) + "  " +
            AttributeLetters(record.Attributes) + "  " + VolumeRange(record, header) + "\n";
    print(text);
    text.clear();
  }
  text += Padded("", nameWidth, false) + "  " + Padded(std::to_string(totalSize), 10, true) + "  " +
          Padded(std::to_string(totalStored), 10, true) + "\n";
  print(text);
}

void FormatJson(const bzip2arc::ArchiveHeader& header, bzip2arc::DirectoryStore& records, const Names& names,
                const Printer& print) {
  std::string text = "{\n";
  text += "  \"Encrypted\": " + std::to_string(header.Encrypted) + ",\n";
  text += "  \"EntryCount\": " + std::to_string(header.EntryCount) + ",\n";
  text += "  \"VolumeSize\": " + std::to_string(header.VolumeSize) + ",\n";
  text += "  \"FirstVolumeSize\": " + std::to_string(header.FirstVolumeSize) + ",\n";
  text += "  \"Records\": [";
  const char* separator = "\n";
  for (std::size_t i = 0; i < records.Count(); ++i) {
    const bzip2arc::DirectoryRecord record = records[i];
    text += separator;
    separator = ",\n";
    text += "    {\"Name\": " + JsonString(names.FileName(record.NameView()));
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
    print(text);
    text.clear();
  }
  text += records.Count() == 0 ? "]\n}\n" : "\n  ]\n}\n";
  print(text);
}

}  // namespace arcset
