#include "BlockDecoder.h"

#if defined(_WIN32) && !defined(WIN32_LEAN_AND_MEAN)
#define WIN32_LEAN_AND_MEAN  // bzlib.h includes windows.h there
#endif
#include <bzlib.h>

#include <cstring>
#include <new>

#include "BitWriter.h"
#include "BlockJoiner.h"
#include "StreamFormat.h"
#include "archive/core/BZip2Guard.h"

namespace bzip2arc::bzip2 {
namespace {

// An internal failure of libbz2 (win32) raises "Compression Error %d" here
// as in TBZDecompressionStream, which would meet it in the same block.
class Decompressor {
 public:
  Decompressor() {
    if (CallLibbz2([this] { return BZ2_bzDecompressInit(&stream_, 0, 0); }) != BZ_OK) throw std::bad_alloc();
  }
  ~Decompressor() { BZ2_bzDecompressEnd(&stream_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  bz_stream& Stream() { return stream_; }

 private:
  bz_stream stream_{};
};

}  // namespace

DecodedBlock DecodeBlock(char level, const std::uint8_t* bytes, std::int64_t first, std::int64_t end) {
  DecodedBlock block;
  if (end - first < kMagicBits + kCrcBits) return block;
  block.Crc = static_cast<std::uint32_t>(ReadBits(bytes, first + kMagicBits, kCrcBits));

  BlockJoiner alone(level - '0');
  alone.Add(bytes, first, end, block.Crc);
  alone.End();
  const std::vector<std::uint8_t> input = alone.TakeWholeBytes();

  Decompressor decompressor;
  bz_stream& stream = decompressor.Stream();
  stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(input.data()));
  stream.avail_in = static_cast<unsigned>(input.size());
  std::size_t capacity = 5 * input.size() + 4096;  // most content packs less well; more comes as needed
  auto content = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  std::size_t produced = 0;
  int result = BZ_OK;
  for (;;) {
    if (produced == capacity) {
      auto larger = std::make_unique_for_overwrite<std::uint8_t[]>(2 * capacity);
      std::memcpy(larger.get(), content.get(), produced);
      content = std::move(larger);
      capacity *= 2;
    }
    stream.next_out = reinterpret_cast<char*>(content.get() + produced);
    stream.avail_out = static_cast<unsigned>(capacity - produced);
    result = CallLibbz2([&stream] { return BZ2_bzDecompress(&stream); });
    produced = capacity - stream.avail_out;
    if (result != BZ_OK) break;
    // Out of input with room to spare: the bits ended inside the block.
    if (stream.avail_in == 0 && stream.avail_out > 0) break;
  }
  // The end marker must be read from the very bytes it was put in: a block
  // that ended sooner or later would leave some unread or read beyond it
  // (StreamFormat.h keeps magics a byte apart).
  block.Accepted = result == BZ_STREAM_END && stream.avail_in == 0;
  if (block.Accepted) {
    block.Content = std::move(content);
    block.Size = produced;
  }
  return block;
}

}  // namespace bzip2arc::bzip2
