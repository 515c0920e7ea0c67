#include "ParallelDecompressionStream.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "BitWriter.h"
#include "BlockDecoder.h"
#include "BlockScanner.h"
#include "StreamFormat.h"
#include "WorkQueue.h"

namespace bzip2arc {

namespace {

using bzip2::BlockMark;
using bzip2::DecodedBlock;

constexpr std::int32_t kSourcePiece = 1 << 20;
// A block that libbz2 writes takes at most about 2 MB; longer stretches
// without a magic are left to the one-thread decoder.
constexpr std::int64_t kMaxBlockBytes = std::int64_t{4} << 20;
constexpr std::int32_t kSkipPiece = 4096;

[[noreturn]] void InvalidOperation() { throw EBZDecompressionError("Invalid stream operation"); }

}  // namespace

class TParallelBZDecompressionStream::Blocks {
 public:
  Blocks(TStream& source, std::int32_t start, WorkQueue& work)
      : source_(source), start_(start), ahead_(work.Threads() + 2), work_(work) {}

  // Blocks not yet decoding stay so; one decoding finishes into its own result.
  ~Blocks() {
    for (const Pending& pending : pending_) {
      if (pending.Job) work_.Drop(*pending.Job);
    }
  }

  Blocks(const Blocks&) = delete;
  Blocks& operator=(const Blocks&) = delete;

  // The next bytes of content, at most `count`; none at the end of the stream
  // once its combined CRC has held. False when only the one-thread decoder
  // can tell what comes next.
  bool Next(std::size_t count, std::span<const std::uint8_t>& bytes) {
    while (offset_ == current_.Size) {
      if (ended_) {
        bytes = {};
        return true;
      }
      if (!Advance()) return false;
    }
    const std::size_t take = std::min(count, current_.Size - offset_);
    bytes = {current_.Content.get() + offset_, take};
    offset_ += take;
    return true;
  }

 private:
  // A magic, and once the next one is known (or none will be), the bits of
  // the block it starts and, once that is among the next few, its decoding.
  struct Pending {
    BlockMark Mark;
    std::int64_t End = -1;  // the next magic's first bit; -1: none near enough
    std::shared_ptr<const std::vector<std::uint8_t>> Bits;  // from the byte of Mark to that of End
    std::shared_ptr<DecodedBlock> Result;
    std::shared_ptr<WorkQueue::Job> Job;
  };

  bool Advance() {
    if (level_ == 0 && !ReadHeader()) return false;
    while (!sourceEnded_ && pending_.size() < ahead_) ReadPiece();
    Decode();
    if (pending_.empty()) return false;
    Pending& next = pending_.front();
    if (next.Mark.Bit != chainBit_) return false;
    if (next.Mark.EndOfStream) {
      ended_ = EndHolds();
      return ended_;
    }
    if (!next.Job) return false;
    work_.Wait(*next.Job);
    if (!next.Result->Accepted) return false;
    current_ = std::move(*next.Result);
    offset_ = 0;
    combined_ = bzip2::CombineCrc(combined_, current_.Crc);
    chainBit_ = next.End;
    pending_.pop_front();
    return true;
  }

  bool ReadHeader() {
    std::uint8_t header[bzip2::kHeaderBytes];
    if (ReadSourceAt(0, header, bzip2::kHeaderBytes) != bzip2::kHeaderBytes) return false;
    if (header[0] != 'B' || header[1] != 'Z' || header[2] != 'h' || header[3] < '1' || header[3] > '9') return false;
    level_ = static_cast<char>(header[3]);
    return true;
  }

  std::int32_t ReadSourceAt(std::int64_t offset, void* buffer, std::int32_t count) {
    const auto at = static_cast<std::int32_t>(start_ + offset);
    if (source_.Position() != at) source_.SetPosition(at);
    return source_.Read(buffer, count);
  }

  void ReadPiece() {
    const std::size_t at = buffer_.size();
    if (!piece_) piece_ = std::make_unique_for_overwrite<std::uint8_t[]>(kSourcePiece);
    const std::int32_t got = ReadSourceAt(bufferStart_ + static_cast<std::int64_t>(at), piece_.get(), kSourcePiece);
    if (got > 0) buffer_.insert(buffer_.end(), piece_.get(), piece_.get() + got);
    if (got <= 0) {
      sourceEnded_ = true;
      if (open_) Close(*open_, -1);
      open_.reset();
      return;
    }
    marks_.clear();
    scanner_.Scan({buffer_.data() + at, static_cast<std::size_t>(got)}, marks_);
    for (const BlockMark& mark : marks_) {
      if (mark.Bit < bzip2::kHeaderBits) continue;
      if (open_) Close(*open_, mark.Bit);
      open_ = mark;
    }
    const std::int64_t bufferEnd = bufferStart_ + static_cast<std::int64_t>(buffer_.size());
    std::int64_t keepFrom = open_ ? open_->Bit / 8 : bufferEnd;
    if (bufferEnd - keepFrom > kMaxBlockBytes) {
      Close(*open_, -1);
      open_.reset();
      keepFrom = bufferEnd;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + (keepFrom - bufferStart_));
    bufferStart_ = keepFrom;
  }

  // The magic `mark` is followed by the next one at bit `end`.
  void Close(const BlockMark& mark, std::int64_t end) {
    Pending pending{mark, end, nullptr, nullptr, nullptr};
    if (!mark.EndOfStream && end >= 0) {
      pending.Bits = std::make_shared<const std::vector<std::uint8_t>>(buffer_.begin() + (mark.Bit / 8 - bufferStart_),
                                                                       buffer_.begin() + ((end + 7) / 8 - bufferStart_));
    }
    pending_.push_back(std::move(pending));
  }

  // Sets the next few blocks decoding: a piece of highly compressed data may
  // hold many blocks, which decode to up to 46 MB each.
  void Decode() {
    for (std::size_t i = 0; i < pending_.size() && i < ahead_; ++i) {
      Pending& pending = pending_[i];
      if (!pending.Bits || pending.Job) continue;
      auto result = std::make_shared<DecodedBlock>();
      const char level = level_;
      const std::int64_t first = pending.Mark.Bit % 8;
      const std::int64_t end = pending.End - (pending.Mark.Bit - first);
      pending.Result = result;
      pending.Job = work_.Push([bits = std::move(pending.Bits), result, level, first, end] {
        *result = bzip2::DecodeBlock(level, bits->data(), first, end);
      });
    }
  }

  // The end marker at chainBit_ carries the combined CRC of the blocks before
  // it, and the source ends with its last byte.
  bool EndHolds() {
    const std::int64_t from = chainBit_ / 8;
    const std::int64_t to = (chainBit_ + bzip2::kMagicBits + bzip2::kCrcBits + 7) / 8;
    std::uint8_t bytes[16];
    const auto length = static_cast<std::int32_t>(to - from);
    if (ReadSourceAt(from, bytes, length + 1) != length) return false;
    const std::uint64_t stored = bzip2::ReadBits(bytes, chainBit_ - 8 * from + bzip2::kMagicBits, bzip2::kCrcBits);
    return stored == combined_;
  }

  TStream& source_;
  const std::int32_t start_;
  const std::size_t ahead_;  // blocks decoded or decoding ahead of the reader

  char level_ = 0;  // the header's digit, once read
  std::unique_ptr<std::uint8_t[]> piece_;  // as read from the source
  std::vector<std::uint8_t> buffer_;       // source bytes from the last magic on
  std::int64_t bufferStart_ = 0;
  bool sourceEnded_ = false;
  bzip2::BlockScanner scanner_;
  std::vector<BlockMark> marks_;
  std::optional<BlockMark> open_;  // the last magic found, its end not yet known
  std::deque<Pending> pending_;

  std::int64_t chainBit_ = bzip2::kHeaderBits;  // where the next magic must be
  std::uint32_t combined_ = 0;
  DecodedBlock current_;  // the block being handed out
  std::size_t offset_ = 0;
  bool ended_ = false;

  WorkQueue& work_;  // its jobs hold what they use
};

TParallelBZDecompressionStream::TParallelBZDecompressionStream(TStream& source, unsigned threads)
    : source_(source),
      ownWork_(std::make_unique<WorkQueue>(threads > 0 ? threads : 1)),
      work_(*ownWork_),
      start_(source.Position()) {}

TParallelBZDecompressionStream::TParallelBZDecompressionStream(TStream& source, WorkQueue& work)
    : source_(source), work_(work), start_(source.Position()) {}

TParallelBZDecompressionStream::~TParallelBZDecompressionStream() = default;

std::int32_t TParallelBZDecompressionStream::Read(void* buffer, std::int32_t count) {
  if (count < 0) count = 0;
  if (alone_ == nullptr) {
    if (blocks_ == nullptr && count > 0) blocks_ = std::make_unique<Blocks>(source_, start_, work_);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
      std::span<const std::uint8_t> bytes;
      if (!blocks_->Next(static_cast<std::size_t>(count - done), bytes)) {
        GoOnAlone(position_);
        break;
      }
      if (bytes.empty()) break;
      std::memcpy(out + done, bytes.data(), bytes.size());
      done += static_cast<std::int32_t>(bytes.size());
    }
    if (alone_ == nullptr) {
      position_ += done;
      return done;
    }
  }
  const std::int32_t got = alone_->Read(buffer, count);
  position_ += got;
  return got;
}

void TParallelBZDecompressionStream::GoOnAlone(std::int64_t readStart) {
  blocks_.reset();
  source_.SetPosition(start_);
  alone_ = std::make_unique<TBZDecompressionStream>(source_);
  if (readStart > 0) alone_->Seek(static_cast<std::int32_t>(readStart), soCurrent);
}

std::int32_t TParallelBZDecompressionStream::Write(const void*, std::int32_t) { InvalidOperation(); }

std::int32_t TParallelBZDecompressionStream::Seek(std::int32_t offset, std::uint16_t origin) {
  const auto position = static_cast<std::int32_t>(position_);
  if (offset == 0 && origin == soBeginning) {
    blocks_.reset();
    alone_.reset();
    source_.SetPosition(0);
    start_ = 0;
    position_ = 0;
  } else if ((origin == soCurrent && offset >= 0) || (origin == soBeginning && offset > position)) {
    std::int64_t skip = origin == soCurrent ? offset : std::int64_t{offset} - position;
    std::uint8_t scratch[kSkipPiece];
    while (skip > 0) {
      const std::int32_t piece = skip < kSkipPiece ? static_cast<std::int32_t>(skip) : kSkipPiece;
      ReadBuffer(scratch, piece);
      skip -= piece;
    }
  } else {
    InvalidOperation();
  }
  return static_cast<std::int32_t>(position_);
}

}  // namespace bzip2arc
