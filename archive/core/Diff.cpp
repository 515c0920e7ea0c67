#include "Diff.h"

#include <cstring>
#include <memory>

#include "ByteOrder.h"
#include "CRC32.h"
#include "Error.h"

namespace bzip2arc {
namespace {

// The checksum message also covers unknown block types: callers know only it.
constexpr const char* kCRCError = "CRC Error";
constexpr const char* kBlockTooLarge = "Patch block larger than 2 MiB";
constexpr const char* kRebuiltTooLarge = "Rebuilt patch block larger than 2 MiB";
constexpr const char* kCopyBackwards = "Patch copy record destination out of order";
constexpr const char* kInsertedShort = "Patch copy record needs more inserted bytes than given";
constexpr const char* kSourceOutside = "Patch copy record reaches outside the old range";
constexpr const char* kPatchShort = "Patch stream ends before its end block";
constexpr const char* kOldShort = "Old file ends inside a patch block";

using Buffer = std::unique_ptr<std::uint8_t[]>;

// Not zero-filled: every byte used is written first.
Buffer NewBuffer() { return std::make_unique_for_overwrite<std::uint8_t[]>(kPatchBufferSize); }

[[noreturn]] void Fail(const char* message) { throw EArchiveError(message); }

// Reads until `count` bytes are in or the stream has no more; returns how many came.
std::uint32_t ReadUpTo(TStream& stream, std::uint8_t* buffer, std::uint32_t count) {
  std::uint32_t done = 0;
  while (done < count) {
    const std::int32_t n = stream.Read(buffer + done, static_cast<std::int32_t>(count - done));
    if (n <= 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

// The patch stream, read front to back: counts what it hands out so that
// progress can report the bytes consumed since the previous report.
class PatchReader {
 public:
  PatchReader(TStream& stream, PatchProgress* progress) : stream_(stream), progress_(progress) {}

  void Read(std::uint8_t* buffer, std::uint32_t count) {
    if (ReadUpTo(stream_, buffer, count) != count) Fail(kPatchShort);
    consumed_ += count;
  }
  std::uint8_t U8() {
    std::uint8_t byte;
    Read(&byte, 1);
    return byte;
  }
  std::uint32_t U32() {
    std::uint8_t bytes[4];
    Read(bytes, 4);
    return LoadU32LE(bytes);
  }
  // A length that must fit one of the buffers.
  std::uint32_t Length() {
    const std::uint32_t length = U32();
    if (length > kPatchBufferSize) Fail(kBlockTooLarge);
    return length;
  }

  void Report() {
    if (progress_ == nullptr) return;
    const std::uint32_t count = consumed_ - reported_;
    reported_ = consumed_;
    progress_->PatchConsumed(static_cast<std::int32_t>(count));
  }

 private:
  TStream& stream_;
  PatchProgress* progress_;
  std::uint32_t consumed_ = 0;
  std::uint32_t reported_ = 0;
};

struct Buffers {
  Buffer Literal = NewBuffer();  // literal data or inserted bytes
  Buffer OldRange = NewBuffer();
  Buffer Rebuilt = NewBuffer();
  Buffer Table = NewBuffer();
};

// Reads the inserted bytes and the copy table of a delta block and rebuilds
// the block; returns its length. Every record is checked against the buffers
// before anything is copied, whatever the writer promised.
std::uint32_t Rebuild(PatchReader& reader, const Buffers& buffers, std::uint32_t oldLength) {
  const std::uint32_t insertedLength = reader.Length();
  const std::uint32_t tableLength = reader.Length();
  const std::uint8_t* const inserted = buffers.Literal.get();
  const std::uint8_t* const oldRange = buffers.OldRange.get();
  std::uint8_t* const out = buffers.Rebuilt.get();
  reader.Read(buffers.Literal.get(), insertedLength);
  reader.Read(buffers.Table.get(), tableLength);

  std::uint32_t o = 0;  // 0-based output position
  std::uint32_t k = 0;  // 0-based position in the inserted bytes
  const std::uint8_t* record = buffers.Table.get();
  const std::uint8_t* const end = record + tableLength / kCopyRecordSize * kCopyRecordSize;
  for (; record != end; record += kCopyRecordSize) {
    reader.Report();
    const std::uint32_t length = LoadU16LE(record + kCopyLengthAt);
    const std::uint32_t source = LoadU32LE(record + kCopySourceAt);
    const std::uint32_t destination = LoadU32LE(record + kCopyDestinationAt);
    if (destination == 0 || destination - 1 < o) Fail(kCopyBackwards);
    const std::uint32_t gap = destination - 1 - o;
    if (gap > insertedLength - k) Fail(kInsertedShort);
    // gap <= 2 MiB and length < 64 KiB: the sum cannot wrap.
    if (gap + length > kPatchBufferSize - o) Fail(kRebuiltTooLarge);
    if (length != 0 && (source == 0 || source - 1 > oldLength || length > oldLength - (source - 1)))
      Fail(kSourceOutside);
    std::memcpy(out + o, inserted + k, gap);
    k += gap;
    o += gap;
    if (length != 0) {
      std::memcpy(out + o, oldRange + (source - 1), length);
      o += length;
    }
  }
  return o;
}

}  // namespace

void ApplyPatch(TStream& patch, TStream& oldFile, TStream& newFile, PatchProgress* progress) {
  patch.SetPosition(0);
  oldFile.SetPosition(0);
  newFile.SetPosition(0);
  const Buffers buffers;
  PatchReader reader(patch, progress);

  for (;;) {
    const std::uint32_t oldLength = reader.Length();
    // A literal block drops its old range, so an old file that ends early
    // is only a fault for a delta block.
    const std::uint32_t oldRead = ReadUpTo(oldFile, buffers.OldRange.get(), oldLength);
    const std::uint8_t type = reader.U8();

    if (type == kPatchLiteralBlock) {
      const std::uint32_t dataLength = reader.Length();
      if (dataLength == 0) return;
      const std::uint32_t dataCRC = reader.U32();
      reader.Read(buffers.Literal.get(), dataLength);
      reader.Report();
      if (CRC32Checksum(buffers.Literal.get(), dataLength) != dataCRC) Fail(kCRCError);
      newFile.WriteBuffer(buffers.Literal.get(), static_cast<std::int32_t>(dataLength));
    } else if (type == kPatchDeltaBlock) {
      const std::uint32_t newCRC = reader.U32();
      const std::uint32_t oldCRC = reader.U32();
      if (oldRead != oldLength) Fail(kOldShort);
      if (CRC32Checksum(buffers.OldRange.get(), oldLength) != oldCRC) Fail(kCRCError);
      const std::uint32_t newLength = Rebuild(reader, buffers, oldLength);
      if (CRC32Checksum(buffers.Rebuilt.get(), newLength) != newCRC) Fail(kCRCError);
      newFile.WriteBuffer(buffers.Rebuilt.get(), static_cast<std::int32_t>(newLength));
    } else {
      Fail(kCRCError);
    }
  }
}

}  // namespace bzip2arc
