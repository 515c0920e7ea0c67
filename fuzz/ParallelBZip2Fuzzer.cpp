// TParallelBZDecompressionStream against TBZDecompressionStream over the same
// bytes (after the first, which picks the threads): the same failure, and the
// same bytes before it, give or take the one read where libbz2 goes on into
// the next block (see tests/tools/ParallelDecompressionStreamTest.cpp).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ParallelDecompressionStream.h"
#include "archive/core/BZip2.h"
#include "archive/core/MemoryStream.h"

namespace {

constexpr std::int32_t kPiece = 10241;
constexpr std::size_t kMostOutput = 16 << 20;

struct Outcome {
  std::vector<std::uint8_t> Data;
  std::string Error;
};

Outcome Drain(bzip2arc::TStream& stream) {
  Outcome out;
  std::vector<std::uint8_t> piece(kPiece);
  try {
    stream.Seek(0, bzip2arc::soBeginning);
    std::int32_t got = 0;
    do {
      got = stream.Read(piece.data(), kPiece);
      out.Data.insert(out.Data.end(), piece.begin(), piece.begin() + got);
    } while (got == kPiece && out.Data.size() < kMostOutput);
  } catch (const bzip2arc::Exception& error) {
    out.Error = error.what();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const unsigned threads = 1 + data[0] % 3;
  const std::vector<std::uint8_t> stored(data + 1, data + size);

  bzip2arc::TMemoryStream oneSource(stored), manySource(stored);
  const auto one = std::make_unique<bzip2arc::TBZDecompressionStream>(oneSource);
  bzip2arc::TParallelBZDecompressionStream many(manySource, threads);
  const Outcome a = Drain(*one), b = Drain(many);

  const std::size_t common = std::min(a.Data.size(), b.Data.size());
  const std::size_t apart = std::max(a.Data.size(), b.Data.size()) - common;
  const bool capped = a.Data.size() >= kMostOutput || b.Data.size() >= kMostOutput;
  if (!capped && a.Error != b.Error) __builtin_trap();
  if (!std::equal(a.Data.begin(), a.Data.begin() + static_cast<std::ptrdiff_t>(common), b.Data.begin())) __builtin_trap();
  if (!capped && apart > (a.Error.empty() ? 0 : std::size_t{kPiece})) __builtin_trap();
  return 0;
}
