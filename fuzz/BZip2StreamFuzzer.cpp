// TBZDecompressionStream over arbitrary bytes, read in pieces whose sizes
// come from the first byte, with a rewind and a forward skip on the way.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/core/BZip2.h"
#include "archive/core/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::int32_t piece = 1 + data[0] * 97;
  bzip2arc::TMemoryStream source(std::vector<std::uint8_t>(data + 1, data + size));
  source.Seek(0, bzip2arc::soEnd);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(piece));
  try {
    bzip2arc::TBZDecompressionStream stream(source);
    stream.Seek(0, bzip2arc::soBeginning);
    std::int64_t total = 0;
    for (int round = 0; round < 2; ++round) {
      std::int32_t got = 0;
      do {
        got = stream.Read(buffer.data(), piece);
        if (got < 0 || got > piece) __builtin_trap();
        total += got;
      } while (got == piece && total < (16 << 20));
      stream.Seek(0, bzip2arc::soBeginning);
      stream.Seek(piece, bzip2arc::soCurrent);
    }
  } catch (const bzip2arc::Exception&) {
  }
  return 0;
}
