// The layout of headers and records and the checks on them. Reading whole
// directories (plain, enciphered, damaged) is tested through ExtractAll in
// tests/extraction.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "archive/core/ArchiveFormat.h"

using namespace bzip2arc;

namespace {

DirectoryRecord At(std::int32_t start, std::int32_t end, std::uint8_t volume) {
  return {.StartOffset = start, .EndOffset = end, .Volume = volume};
}
ArchiveHeader Sizes(std::int32_t first, std::int32_t later) { return {.VolumeSize = later, .FirstVolumeSize = first}; }

}  // namespace

TEST(ArchiveFormat, HeaderAndRecordFieldsRoundTripAtTheirOffsets) {
  std::uint8_t header[kArchiveHeaderSize], record[kDirectoryRecordSize], again[kDirectoryRecordSize];
  for (std::size_t i = 0; i < sizeof header; ++i) header[i] = std::uint8_t(i + 1);
  for (std::size_t i = 0; i < sizeof record; ++i) record[i] = std::uint8_t(0xA0 + i);
  std::memcpy(record, "\3abc", 4);
  std::memset(record + 94, 0xFF, 4);  // StartOffset -1
  ArchiveHeader h;
  DirectoryRecord r;
  DecodeArchiveHeader(header, h);
  DecodeDirectoryRecord(record, r);
  EXPECT_EQ(std::tuple(h.Encrypted, h.EntryCount, h.VolumeSize, h.FirstVolumeSize),
            std::tuple(1, 0x05040302, 0x09080706, 0x0D0C0B0A));
  EXPECT_EQ(std::tuple(r.NameView(), r.Attributes, r.DateTime, r.Size, r.StartOffset, r.EndOffset, r.Volume, r.Kind),
            std::tuple("abc", 0xE4E3E2E1u, 0xE8E7E6E5u, std::int32_t(0xECEBEAE9u), -1, 0x05040302, 6, 7));
  EncodeArchiveHeader(h, again);
  EXPECT_EQ(0, std::memcmp(header, again, sizeof header));
  EncodeDirectoryRecord(r, again);
  EXPECT_EQ(0, std::memcmp(record, again, sizeof record));
}

TEST(ArchiveFormat, LocationRule) {
  const ArchiveHeader header = Sizes(1000000, 1400000);
  for (const auto& [offset, volume, at] :
       {std::array<std::int32_t, 3>{2500000, 2, 100000}, {999999, 0, 999999}, {1000000, 1, 0}}) {
    const VolumePosition position = LocateLogicalOffset(offset, header);
    EXPECT_EQ(std::tuple(position.Volume, position.Offset), std::tuple(volume, at));
  }
  const StoredDataLocation stored = LocateStoredData(At(2500000, 2525000, 2), header);
  EXPECT_EQ(std::tuple(stored.Volume, stored.Offset, stored.Length), std::tuple(2, 100000, 25000));
}

// The messages are rows of docs/bad-input.md; these are the limits.
TEST(ArchiveFormat, RecordChecksAtTheirLimits) {
  EXPECT_NO_THROW(CheckDirectoryRecord(At(100, 500, 0), Sizes(500, 0)));
  EXPECT_THROW(CheckDirectoryRecord(At(100, 501, 0), Sizes(500, 0)), EArchiveError);
  // Volume 255 holds logical offsets 2550..2559.
  EXPECT_NO_THROW(CheckDirectoryRecord(At(2550, 2560, 255), Sizes(10, 10)));
  EXPECT_THROW(CheckDirectoryRecord(At(2550, 2561, 255), Sizes(10, 10)), EArchiveError);
}

TEST(ArchiveFormat, NamesThatLeaveTheFolderOrLandOnAnotherFile) {
  for (const char* bad : {"", ".", "..", "x..", "a\\b", "../x", "/etc/passwd", "C:x", "readme.txt.", "readme.txt ",
                          "Setup.bin ", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b", "a\tb", "a\x01", "\x1F", "patch.tmp",
                          "PATCH.OLD", "Patch.Tmp"})
    EXPECT_THROW(CheckRecordName(bad), EArchiveError) << bad;
  EXPECT_THROW(CheckRecordName(std::string_view("a\0b", 3)), EArchiveError);
  for (const char* good : {"Setup.bin", "..hidden", ".hidden", "a b", "CONFIG.SYS", "COM10", "LPT", "CONIN", "NULL",
                           "AUXX.txt", "xCON", "CONOUT$x", "COM\xB4", "COM\xB9" "0", "patch.tmp.txt", "mypatch.old", "caf\xE9"})
    EXPECT_NO_THROW(CheckRecordName(good)) << good;
}

// Every spelling in which Windows opens a device instead of a file.
TEST(ArchiveFormat, EveryDeviceSpellingIsRefused) {
  std::vector<std::string> devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const std::string port : {"COM", "LPT"}) {
    for (char digit = '0'; digit <= '9'; ++digit) devices.push_back(port + digit);
    for (const char superscript : {'\xB9', '\xB2', '\xB3'}) devices.push_back(port + superscript);  // 1 2 3 in code page 1252
  }
  ASSERT_EQ(devices.size(), 6u + 2 * 13);
  for (const std::string& device : devices) {
    std::string lower = device, mixed = device;
    for (std::size_t i = 0; i < device.size(); ++i) {
      lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(device[i])));
      if (i % 2 == 1) mixed[i] = lower[i];
    }
    for (const std::string& base : {device, lower, mixed})
      for (const char* after : {"", " ", "   ", ".txt", " .txt", "  .tar.gz", ".", ". x"})
        EXPECT_THROW(CheckRecordName(base + after), EArchiveError) << base + after;
  }
}

TEST(ArchiveFormat, VolumeNamesReplaceTheLastDirective) {
  FixedText<64> name;
  EXPECT_TRUE(FormatVolumeName("D:\\setup%d.lib", 0, name));
  EXPECT_EQ(name.View(), "D:\\setup0.lib");
  EXPECT_TRUE(FormatVolumeName("D:\\50%d off\\setup%d.lib", 255, name));
  EXPECT_EQ(name.View(), "D:\\50%d off\\setup255.lib");
  EXPECT_TRUE(FormatVolumeName("/m/100%/setup%d.lib", 7, name));
  EXPECT_EQ(name.View(), "/m/100%/setup7.lib");
  EXPECT_TRUE(FormatVolumeName("/m/setup.lib", 3, name));  // one file for every volume
  EXPECT_EQ(name.View(), "/m/setup.lib");
  FixedText<8> tooShort;
  EXPECT_FALSE(FormatVolumeName("abcdef%d", 123, tooShort));
}
