#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include "archive/core/BZip2.h"
#include "archive/core/BZip2Guard.h"
#include "archive/core/MemoryStream.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::Bzip2Compress;
using testsupport::ErrorMessage;
using testsupport::PseudoRandomBytes;

#ifdef BZ_NO_STDIO
extern "C" void bz_internal_error(int errcode);
#endif

namespace {

// The chunks that extraction reads (a number of the stream's contract, not
// taken from the code under test).
constexpr std::int32_t kChunk = 10241;

struct Drained {
  Bytes Data;
  std::string Error;
  std::vector<std::int32_t> Counts;  // of every read
};

// Reads chunks until one comes back short or fails.
Drained Drain(TStream& stream, const std::function<void()>& beforeEachRead = [] {}) {
  Drained out;
  Bytes piece(kChunk);
  out.Error = ErrorMessage<EBZDecompressionError>([&] {
    do {
      beforeEachRead();
      out.Counts.push_back(stream.Read(piece.data(), kChunk));
      out.Data.insert(out.Data.end(), piece.begin(), piece.begin() + out.Counts.back());
    } while (out.Counts.back() == kChunk);
  });
  return out;
}

// A stream over a source that stands at its start or at its end.
struct Fixture {
  explicit Fixture(Bytes compressed, std::uint16_t sourceAt = soBeginning) : Source(std::move(compressed)) {
    Source.Seek(0, sourceAt);
    Stream = std::make_unique<TBZDecompressionStream>(Source);
  }
  TMemoryStream Source;
  std::unique_ptr<TBZDecompressionStream> Stream;  // 64 KiB
};

}  // namespace

// As extraction uses it: built over a source at its end, rewound, read in chunks.
TEST(BZip2Stream, NothingUntilRewoundThenWholeChunksThenAShortOrEmptyRead) {
  using Counts = std::vector<std::int32_t>;
  for (const auto& [length, counts] : {std::pair{3 * kChunk + 500, Counts{kChunk, kChunk, kChunk, 500}},
                                       std::pair{2 * kChunk, Counts{kChunk, kChunk, 0}}}) {
    const Bytes data = PseudoRandomBytes(std::size_t(length), 2, 8);
    Fixture f(Bzip2Compress(data), soEnd);
    EXPECT_EQ(Drain(*f.Stream).Counts, Counts{0});
    for (int round = 0; round < 2; ++round) {  // the second time after the end of the stream
      EXPECT_EQ(f.Stream->Seek(0, soBeginning), 0);
      EXPECT_EQ(f.Source.Position(), 0);
      const Drained out = Drain(*f.Stream);
      EXPECT_EQ(out.Data, data);
      EXPECT_EQ(out.Counts, counts);
    }
  }
}

// Bytes after the stream fail the read that reaches them; a cut stream gives
// the whole blocks before the cut, then a short read.
TEST(BZip2Stream, DamagedOrTruncatedData) {
  const Bytes data = PseudoRandomBytes(500000, 12, 64), intact = Bzip2Compress(data, 1);
  const Bytes second = Bzip2Compress(testsupport::ToBytes("second stream"));
  Bytes twoStreams = intact, damaged = intact, truncated = intact;
  twoStreams.insert(twoStreams.end(), second.begin(), second.end());
  damaged[intact.size() / 2] ^= 0x5A;
  truncated.resize(intact.size() * 6 / 10);
  const std::size_t wholeChunks = data.size() / kChunk * kChunk;
  // Input, error, fewest and most bytes delivered before it.
  for (const auto& [input, error, fewest, most] : {std::tuple{twoStreams, "error -1", wholeChunks, wholeChunks},
                                                   {testsupport::ToBytes("not bzip2"), "error -5", 0, 0},
                                                   {damaged, "error -4", 0, data.size()},
                                                   {truncated, "", 1, data.size() - 1}}) {
    Fixture f(input);
    const Drained out = Drain(*f.Stream);
    EXPECT_EQ(out.Error, error);
    EXPECT_TRUE(out.Data.size() >= fewest && out.Data.size() <= most) << error << out.Data.size();
    EXPECT_TRUE(input == damaged || std::equal(out.Data.begin(), out.Data.end(), data.begin())) << error;
  }
}

TEST(BZip2Stream, OnlyForwardSeeksAndRewinds) {
  const Bytes data = PseudoRandomBytes(50000, 18, 16);
  Fixture f(Bzip2Compress(data)), g(Bzip2Compress(data));
  TStream& s = *f.Stream;
  Bytes piece(20000);
  s.ReadBuffer(piece.data(), 20000);
  const std::function<void()> invalid[] = {
      [&] { s.Write(piece.data(), 4); }, [&] { s.Write(piece.data(), 0); }, [&] { s.Seek(0, soEnd); },
      [&] { s.Seek(-10, soEnd); },       [&] { s.Seek(-1, soCurrent); },    [&] { s.Seek(20000, soBeginning); },
      [&] { s.Seek(1, soBeginning); },   [&] { s.Seek(-1, soBeginning); },  [&] { s.Seek(5, 3); }};
  for (const auto& action : invalid) {
    EXPECT_EQ(ErrorMessage<EBZDecompressionError>(action), "Invalid stream operation");
    EXPECT_EQ(s.Seek(0, soCurrent), 20000);  // seek(0, 1): the position, nothing changed
  }
  EXPECT_EQ(s.Seek(4096, soCurrent), 24096);
  EXPECT_EQ(s.Seek(30001, soBeginning), 30001);  // not a multiple of the skip piece
  s.ReadBuffer(piece.data(), 10);
  EXPECT_EQ(Bytes(piece.begin(), piece.begin() + 10), Bytes(data.begin() + 30001, data.begin() + 30011));
  EXPECT_EQ(s.Seek(50000, soBeginning), 50000);
  EXPECT_THROW(s.Seek(1, soCurrent), EReadError);
  EXPECT_THROW(g.Stream->Seek(50001, soBeginning), EReadError);
}

TEST(BZip2Stream, SourceMovedByOtherCodeIsPutBack) {
  const Bytes data = PseudoRandomBytes(400000, 10);  // compressed: several input buffers
  Fixture f(Bzip2Compress(data, 1));
  f.Source.SetPosition(100);
  Bytes piece(1);
  EXPECT_EQ(f.Stream->Read(piece.data(), 0), 0);
  EXPECT_EQ(f.Stream->Read(piece.data(), -1), 0);  // as 0, not as a huge count
  EXPECT_EQ(f.Source.Position(), 0);               // put back, and nothing read: no decoding step
  std::int32_t elsewhere = 0;
  const Drained out =
      Drain(*f.Stream, [&] { f.Source.SetPosition(elsewhere = (elsewhere + 37813) % f.Source.Size()); });
  EXPECT_EQ(out.Data, data);
}

#ifdef BZ_NO_STDIO
TEST(BZip2Stream, InternalErrorHookRaisesCompressionError) {
  // As libbz2 calls it from inside a guarded call.
  const auto failing = [] { CallLibbz2([] { bz_internal_error(1007); return 0; }); };
  EXPECT_EQ(ErrorMessage<EBZip2Error>(failing), "Compression Error 1007");
}
#endif
