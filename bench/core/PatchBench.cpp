// Patch application against a 64 MiB old file held in memory (TMemoryStream
// for the patch, the old and the new file), compared with plain CRC-32 over
// the same amount: the applier should be bound by its checksums.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "archive/core/ByteOrder.h"
#include "archive/core/CRC32.h"
#include "archive/core/Diff.h"
#include "archive/core/MemoryStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace bzip2arc;

constexpr std::uint32_t kBlock = kPatchBufferSize;
constexpr std::uint32_t kOldSize = 64u << 20;

struct Random {
  std::uint32_t State;
  std::uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
  }
};

Bytes RandomBytes(std::size_t length, std::uint32_t seed) {
  Random random{seed};
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random.Next() >> 24);
  return bytes;
}

void Put32(Bytes& out, std::uint32_t v) {
  std::uint8_t b[4];
  StoreU32LE(b, v);
  out.insert(out.end(), b, b + 4);
}

struct Patch {
  Bytes Stream;
  std::size_t NewSize = 0;
  std::size_t Records = 0;
  std::size_t CrcBytes = 0;  // what the applier must run through CRC-32
  int LiteralBlocks = 0;
  int DeltaBlocks = 0;
};

// One 2 MiB old range per block; every `literalEvery`-th block is literal,
// the others copy pieces of minLength..maxLength bytes from anywhere in
// their old range with 0..15 inserted bytes in front of each.
// "mixed": 1 block in 4 literal, copies of 64..4095 bytes;
// "small copies": delta blocks only, copies of 8..255 bytes;
// "literal": literal blocks only, a 64 MiB patch stream.
Patch BuildPatch(const Bytes& old, int literalEvery, std::uint32_t minLength, std::uint32_t maxLength) {
  Patch patch;
  Random random{12345};
  Bytes rebuilt(kBlock);
  Bytes inserted;
  Bytes table;
  for (std::uint32_t offset = 0, index = 0; offset < old.size(); offset += kBlock, ++index) {
    const std::uint8_t* range = old.data() + offset;
    Put32(patch.Stream, kBlock);
    if (index % literalEvery == static_cast<std::uint32_t>(literalEvery - 1)) {
      const Bytes data = RandomBytes(kBlock, index + 1);
      patch.Stream.push_back(kPatchLiteralBlock);
      Put32(patch.Stream, kBlock);
      Put32(patch.Stream, CRC32Checksum(data.data(), data.size()));
      patch.Stream.insert(patch.Stream.end(), data.begin(), data.end());
      patch.NewSize += data.size();
      patch.CrcBytes += data.size();
      ++patch.LiteralBlocks;
      continue;
    }
    inserted.clear();
    table.clear();
    std::uint32_t o = 0;
    for (;;) {
      const std::uint32_t gap = random.Next() % 16;
      const std::uint32_t length = minLength + random.Next() % (maxLength - minLength + 1);
      if (o + gap + length > kBlock) break;
      for (std::uint32_t i = 0; i < gap; ++i) {
        const auto b = static_cast<std::uint8_t>(random.Next());
        inserted.push_back(b);
        rebuilt[o++] = b;
      }
      const std::uint32_t source = 1 + random.Next() % (kBlock - length + 1);
      std::uint8_t record[kCopyRecordSize];
      StoreU16LE(record, static_cast<std::uint16_t>(length));
      StoreU32LE(record + 2, source);
      StoreU32LE(record + 6, o + 1);
      table.insert(table.end(), record, record + kCopyRecordSize);
      std::memcpy(rebuilt.data() + o, range + source - 1, length);
      o += length;
    }
    patch.Stream.push_back(kPatchDeltaBlock);
    Put32(patch.Stream, CRC32Checksum(rebuilt.data(), o));
    Put32(patch.Stream, CRC32Checksum(range, kBlock));
    Put32(patch.Stream, static_cast<std::uint32_t>(inserted.size()));
    Put32(patch.Stream, static_cast<std::uint32_t>(table.size()));
    patch.Stream.insert(patch.Stream.end(), inserted.begin(), inserted.end());
    patch.Stream.insert(patch.Stream.end(), table.begin(), table.end());
    patch.NewSize += o;
    patch.CrcBytes += kBlock + o;
    patch.Records += table.size() / kCopyRecordSize;
    ++patch.DeltaBlocks;
  }
  Put32(patch.Stream, 0);
  patch.Stream.push_back(kPatchLiteralBlock);
  Put32(patch.Stream, 0);
  return patch;
}

// Adds up the applier's reports.
struct ReportedBytes final : PatchProgress {
  void PatchConsumed(std::int32_t consumed) override { Total += consumed; }
  std::int64_t Total = 0;
};

void RunCase(const char* name, const Bytes& old, const Patch& patch, double crcSeconds) {
  TMemoryStream patchStream(patch.Stream);
  TMemoryStream oldStream(old);
  TMemoryStream newStream;
  newStream.Bytes().reserve(patch.NewSize);
  ReportedBytes reported;
  const double seconds = bench::BestSeconds(5, [&] {
    newStream.SetSize(0);
    reported.Total = 0;
    ApplyPatch(patchStream, oldStream, newStream, &reported);
  });
  if (newStream.Bytes().size() != patch.NewSize || reported.Total + 9 != static_cast<std::int64_t>(patch.Stream.size())) {
    std::printf("%s: wrong result\n", name);
    return;
  }
  const std::string remark = std::to_string(patch.DeltaBlocks) + " delta + " + std::to_string(patch.LiteralBlocks) +
                             " literal blocks, " + std::to_string(patch.Records) + " copy records, patch " +
                             std::to_string(patch.Stream.size() >> 10) + " KiB";
  const std::string prefix = std::string("ApplyPatch ") + name;
  bench::Report(prefix + ": new data", bench::MegabytesPerSecond(static_cast<double>(patch.NewSize), seconds), "MB/s",
                remark);
  bench::Report(prefix + ": patch stream", bench::MegabytesPerSecond(static_cast<double>(patch.Stream.size()), seconds),
                "MB/s");
  const double crcWork = crcSeconds * static_cast<double>(patch.CrcBytes) / kOldSize;
  bench::Report(prefix + ": time / its CRC-32 time", seconds / crcWork, "x",
                "1.0 = nothing but the checksums of old ranges, rebuilt blocks and literal data");
}

void Run() {
  const Bytes old = RandomBytes(kOldSize, 99);
  volatile std::uint32_t sink = 0;
  const double crcSeconds = bench::BestSeconds(5, [&] { sink = sink + CRC32Checksum(old.data(), old.size()); });
  bench::Report("CRC32Checksum over 64 MiB", bench::MegabytesPerSecond(kOldSize, crcSeconds), "MB/s");
  const double copySeconds = bench::BestSeconds(5, [&] {
    static Bytes target(kOldSize);
    std::memcpy(target.data(), old.data(), old.size());
    sink = sink + target[sink % kOldSize];
  });
  bench::Report("memcpy over 64 MiB", bench::MegabytesPerSecond(kOldSize, copySeconds), "MB/s");

  RunCase("mixed", old, BuildPatch(old, 4, 64, 4095), crcSeconds);
  RunCase("small copies", old, BuildPatch(old, 1 << 30, 8, 255), crcSeconds);
  RunCase("literal", old, BuildPatch(old, 1, 64, 4095), crcSeconds);
}

const bench::RegisterSection kSection("patch", Run);

}  // namespace
