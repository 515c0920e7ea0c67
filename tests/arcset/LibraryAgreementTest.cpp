// In-process: the parallel extraction, verify and list on sets that the
// library's ExtractAll extracts or fails on, with records decoded whole on
// one thread each and block by block on several.
#include <functional>

#include "ArchiveWriter.h"
#include "Arguments.h"
#include "ListCommand.h"
#include "ParallelDecoderFactory.h"
#include "ParallelExtract.h"
#include "PatchGenerator.h"
#include "VerifyCommand.h"
#include "arcset/Snapshot.h"
#include "archive/core/SetExtraction.h"

namespace arcsettest {
namespace {

using bzip2arc::WriterEntry;

Bytes Text(std::size_t length, std::uint32_t seed) { return testsupport::PseudoRandomBytes(length, seed, 8); }

WriterEntry File(const std::string& name, const Bytes& content, std::uint32_t attributes = 0x20) {
  return {name, attributes, 0x52CF5A6B, bzip2arc::kKindFile, content};
}
WriterEntry Patch(const std::string& name, const Bytes& from, const Bytes& to) {
  return {name, 0x20, 0x52CF5A6B, bzip2arc::kKindPatch, bzip2arc::patch::MakePatch(from, to)};
}

using Volumes = std::vector<Bytes>;

// Rewrites record `index` of a plain set's directory.
auto ChangeRecord(std::size_t index, void (*change)(bzip2arc::DirectoryRecord&)) {
  return [=](Volumes& volumes) {
    std::uint8_t* bytes = volumes[0].data() + bzip2arc::kArchiveHeaderSize + bzip2arc::kDirectoryRecordSize * index;
    bzip2arc::DirectoryRecord record;
    bzip2arc::DecodeDirectoryRecord(bytes, record);
    change(record);
    bzip2arc::EncodeDirectoryRecord(record, bytes);
  };
}

// Flips a byte of record `index`'s stored data, `at` bytes from its start
// (from its end when negative).
auto FlipStoredByte(std::size_t index, std::int64_t at) {
  return [=](Volumes& volumes) {
    bzip2arc::DirectoryRecord record;
    bzip2arc::DecodeDirectoryRecord(
        volumes[0].data() + bzip2arc::kArchiveHeaderSize + bzip2arc::kDirectoryRecordSize * index, record);
    volumes[0][static_cast<std::size_t>(at >= 0 ? record.StartOffset + at : record.EndOffset + at)] ^= 0x10;
  };
}

struct Case {
  const char* Name;
  std::vector<WriterEntry> Entries;
  std::int64_t VolumeSize = 0;
  std::function<void(Volumes&)> Damaged = nullptr;
  std::string Message = "";  // ExtractAll's; "?" for any failure
  std::string VerifyMessage = "?";  // "?": ExtractAll's
  std::int64_t Window = std::int64_t{64} << 20;
};

// Both extractions into the same folder (messages may name it) give the same
// files or the same message; verify fails alike, with stored data in memory
// or in a work file; list shows every set whose directory reads.
TEST(ParallelExtractAndVerify, AgreeWithTheLibrarysExtraction) {
  const testsupport::TempFolder work;
  const std::string key = arcset::DefaultKey(), workFile = work.File("bzin.tmp");
  const Bytes v1 = Text(90000, 1), w1 = Text(30000, 5);
  Bytes v2 = v1, w2 = w1;
  v2.insert(v2.begin() + 500, 40, 'x');
  w2[10] = '#';
  const std::vector<WriterEntry> three{File("a", Text(50000, 1)), File("b", Text(200000, 2), 0x21),
                                       File("c", Text(5000, 3))};
  // Six blocks (the writer below cuts blocks of 100 kB), three, one.
  const std::vector<WriterEntry> blocks{File("a", Text(560000, 4)), File("b", Text(250000, 5)),
                                        File("c", Text(1000, 6))};
  const std::int64_t middle = 100000;  // bytes into record a's stored data: its third block
  const Case cases[] = {
      {"LastVolumeGone", three, 20000, [](Volumes& v) { v.pop_back(); }, "?"},
      {"GarbageVolume", three, 20000, [](Volumes& v) { v[2].assign(v[2].size(), 0x5A); }, "?"},
      {"RecordsBeyondTheWindowGoThroughTheLibrary", three, 0, nullptr, "", "?", 60000},
      {"PatchChainsOverRewrittenFiles",
       {File("a", v1), File("b", w1), Patch("a", v1, v2), File("b", w1), Patch("b", w1, w2), Patch("a", v2, v1)}},
      {"ContentLongerThanItsSizeIsKept", three, 0, ChangeRecord(1, [](auto& r) { r.Size = 1000; })},
      {"ShortContentIsCorrupted", three, 0, ChangeRecord(2, [](auto& r) { r.Size += 1; }), "File c is corrupted"},
      {"FailedPatchKeepsTheOldCopy", {File("a", w2), Patch("a", w1, w2)}, 0, nullptr, "CRC Error"},
      {"VolumeFieldDamaged", three, 0, ChangeRecord(1, [](auto& r) { r.Volume = 3; }), "?"},
      {"BadName", three, 0, ChangeRecord(1, [](auto& r) { r.SetName(".."); }), "Invalid file name in archive: \"..\""},
      {"UnknownKindOnlyDecodes", three, 0, ChangeRecord(1, [](auto& r) { r.Kind = 7; })},
      // ExtractAll would patch whatever file of that name the destination holds.
      {"PatchOfNoFile", {File("a", w1), Patch("b", w1, w2)}, 0, nullptr, "?",
       "Patch record \"b\" follows no record that writes its file"},
      {"BlocksOfRecordsInTheWindow", blocks},
      {"BlocksOfRecordsBeyondTheWindow", blocks, 0, nullptr, "", "?", 300000},
      {"BlocksAcrossVolumes", blocks, 90000},
      {"FirstBlockCrcDamaged", blocks, 0, FlipStoredByte(0, 12), "?"},
      {"MiddleBlockDamaged", blocks, 0, FlipStoredByte(0, middle), "?"},
      {"MiddleBlockDamagedBeyondTheWindow", blocks, 0, FlipStoredByte(0, middle), "?", "?", 300000},
      {"LastBlockDamaged", blocks, 0, FlipStoredByte(1, -200), "?"},
      {"StreamCrcDamaged", blocks, 0, FlipStoredByte(1, -2), "?"},
      {"StreamCutShort", blocks, 0, ChangeRecord(0, [](auto& r) { r.EndOffset -= 30000; }), "?"},
  };
  bzip2arc::ParallelDecoderFactory blockDecoders(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const testsupport::TempFolder medium, destination;
    bzip2arc::WriterOptions writer;
    writer.Encrypt = false;
    writer.VolumeSize = c.VolumeSize;
    writer.BlockSize100k = 1;
    Volumes volumes = bzip2arc::BuildArchiveSet(c.Entries, writer);
    if (c.Damaged) c.Damaged(volumes);
    bzip2arc::WriteArchiveSet(medium.Path(), volumes);
    const std::string pattern = medium.File("setup%d.lib"), folder = destination.Path().string();
    const std::string message = testsupport::ErrorMessage([&] {
      bzip2arc::ExtractSet(pattern.c_str(), key.c_str(), folder.c_str(), {workFile.c_str(), nullptr, nullptr});
    });
    EXPECT_TRUE(c.Message == "?" ? message != "" : message == c.Message) << message;
    const Snapshot extracted = TakeSnapshot(folder);
    for (bzip2arc::DecoderFactory* decoders : std::vector<bzip2arc::DecoderFactory*>{nullptr, &blockDecoders}) {
      SCOPED_TRACE(decoders ? "block by block" : "whole records");
      destination.Clear();
      const arcset::ParallelExtractOptions options{
          .Threads = 3, .WindowBytes = c.Window, .Progress = nullptr, .Decoders = decoders};
      EXPECT_EQ(testsupport::ErrorMessage([&] { arcset::ParallelExtract(pattern, key, folder, options); }), message);
      EXPECT_EQ(TakeSnapshot(folder), extracted);
      for (const std::int64_t inMemory : {arcset::kStoredInMemory, std::int64_t{0}})
        EXPECT_EQ(testsupport::ErrorMessage([&] { arcset::VerifySet(pattern, key, decoders, inMemory); }),
                  c.VerifyMessage == "?" ? message : c.VerifyMessage);
    }
    EXPECT_NO_THROW(
        arcset::ListSet(pattern, key, true, arcset::Names(arcset::CodePage::Default()), [](const std::string&) {})) << "list shows damaged records as stored";
  }
}

}  // namespace
}  // namespace arcsettest
