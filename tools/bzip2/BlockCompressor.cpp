#include "BlockCompressor.h"

#if defined(_WIN32) && !defined(WIN32_LEAN_AND_MEAN)
#define WIN32_LEAN_AND_MEAN  // bzlib.h includes windows.h there
#endif
#include <bzlib.h>

#include <new>
#include <stdexcept>
#include <string>

#include "BitWriter.h"
#include "StreamFormat.h"
#include "archive/core/BZip2Guard.h"

namespace bzip2arc::bzip2 {
namespace {

[[noreturn]] void Fail(int result) {
  throw std::runtime_error("bzip2 compression failed (" + std::to_string(result) + ")");
}

}  // namespace

struct BlockCompressor::Library {
  bz_stream stream{};
};

BlockCompressor::BlockCompressor(int blockSize100k) : library_(std::make_unique<Library>()) {
  bz_stream& stream = library_->stream;
  const int result = CallLibbz2([&] { return BZ2_bzCompressInit(&stream, blockSize100k, 0, 0); });
  if (result == BZ_MEM_ERROR) throw std::bad_alloc();
  if (result != BZ_OK) Fail(result);
}

BlockCompressor::~BlockCompressor() { BZ2_bzCompressEnd(&library_->stream); }

void BlockCompressor::Add(std::span<const std::uint8_t> content) {
  if (content.empty()) return;
  bz_stream& stream = library_->stream;
  stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(content.data()));
  stream.avail_in = static_cast<unsigned>(content.size());
  // Short of a full block, libbz2 only takes the bytes in.
  const int result = CallLibbz2([&stream] { return BZ2_bzCompress(&stream, BZ_RUN); });
  if (result != BZ_RUN_OK || stream.avail_in != 0) Fail(result);
  added_ += static_cast<std::int64_t>(content.size());
}

CompressedBlock BlockCompressor::Finish() {
  bz_stream& stream = library_->stream;
  CompressedBlock block;
  std::vector<std::uint8_t>& out = block.Stream;
  out.resize(static_cast<std::size_t>(added_ < (1 << 20) ? added_ + 1024 : 1 << 20));
  std::size_t produced = 0;
  for (;;) {
    if (produced == out.size()) out.resize(2 * out.size());
    stream.next_out = reinterpret_cast<char*>(out.data() + produced);
    stream.avail_out = static_cast<unsigned>(out.size() - produced);
    const int result = CallLibbz2([&stream] { return BZ2_bzCompress(&stream, BZ_FINISH); });
    produced = out.size() - stream.avail_out;
    if (result == BZ_STREAM_END) break;
    if (result != BZ_FINISH_OK) Fail(result);
  }
  out.resize(produced);

  // "BZh" and the digit, the block, the end marker (its combined CRC is the
  // block's), then zero bits up to a whole byte: the end marker lies where
  // it and that CRC are found (magics lie at least a byte apart).
  block.FirstBit = kHeaderBits;
  block.Crc = static_cast<std::uint32_t>(ReadBits(out.data(), kHeaderBits + kMagicBits, kCrcBits));
  const std::int64_t total = 8 * static_cast<std::int64_t>(out.size());
  for (int padding = 0; padding < 8; ++padding) {
    const std::int64_t end = total - padding - kMagicBits - kCrcBits;
    if (end > block.FirstBit && ReadBits(out.data(), end, kMagicBits) == kEndOfStreamMagic &&
        ReadBits(out.data(), end + kMagicBits, kCrcBits) == block.Crc) {
      block.EndBit = end;
      return block;
    }
  }
  throw std::runtime_error("bzip2 compression gave a stream of an unexpected form");
}

}  // namespace bzip2arc::bzip2
