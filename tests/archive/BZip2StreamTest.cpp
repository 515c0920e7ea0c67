#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "archive/BZip2.h"
#include "archive/BZip2Guard.h"
#include "archive/MemoryStream.h"
#include "support/TempFolder.h"

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::Bzip2Compress;
using testsupport::PseudoRandomBytes;

#ifdef BZ_NO_STDIO
extern "C" void bz_internal_error(int errcode);
#endif

namespace {

constexpr std::int32_t kChunk = 10241;

// The message of the EBZDecompressionError that `action` raises, or "" when
// it raises nothing.
std::string DecompressionError(const std::function<void()>& action) {
  try {
    action();
  } catch (const EBZDecompressionError& error) {
    return error.Message();
  }
  return "";
}

// Reads in chunks until a read comes back short; returns the bytes.
Bytes ReadAll(TStream& stream, std::int32_t chunk = kChunk) {
  Bytes out;
  Bytes piece(static_cast<std::size_t>(chunk));
  std::int32_t got = 0;
  do {
    got = stream.Read(piece.data(), chunk);
    out.insert(out.end(), piece.begin(), piece.begin() + got);
  } while (got == chunk);
  return out;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// A source positioned at 0 and a stream over it.
struct Fixture {
  explicit Fixture(Bytes compressed) : source(std::move(compressed)) {
    stream = std::make_unique<TBZDecompressionStream>(source);
  }
  TMemoryStream source;
  std::unique_ptr<TBZDecompressionStream> stream;
};

}  // namespace

// --- Reading ---------------------------------------------------------------

TEST(BZip2StreamRead, DeliversTheWholeContentInChunks) {
  const Bytes data = PseudoRandomBytes(250000, 1, 16);
  Fixture f(Bzip2Compress(data));
  EXPECT_EQ(ReadAll(*f.stream), data);
  EXPECT_EQ(f.stream->Position(), 250000);
}

TEST(BZip2StreamRead, FullChunksThenOneShortChunkThenZero) {
  const Bytes data = PseudoRandomBytes(3 * kChunk + 500, 2, 8);
  Fixture f(Bzip2Compress(data));
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 500);
  EXPECT_EQ(Slice(piece, 0, 500), Slice(data, 3 * kChunk, 500));
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 0);
}

TEST(BZip2StreamRead, LengthThatIsAMultipleOfTheChunkEndsWithAZeroRead) {
  const Bytes data = PseudoRandomBytes(4 * kChunk, 3, 8);
  Fixture f(Bzip2Compress(data));
  Bytes piece(kChunk);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
    EXPECT_EQ(piece, Slice(data, static_cast<std::size_t>(i) * kChunk, kChunk));
  }
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 0);
}

TEST(BZip2StreamRead, EmptyContentGivesAZeroReadAtOnce) {
  // Header "BZh9", end-of-stream magic, combined CRC 0: what bzip2 writes for
  // an empty input.
  Fixture f({'B', 'Z', 'h', '9', 0x17, 0x72, 0x45, 0x38, 0x50, 0x90, 0, 0, 0, 0});
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 0);
  EXPECT_EQ(f.stream->Position(), 0);
}

TEST(BZip2StreamRead, EmptySourceGivesAZeroRead) {
  Fixture f({});
  Bytes piece(16);
  EXPECT_EQ(f.stream->Read(piece.data(), 16), 0);
}

TEST(BZip2StreamRead, ManyBlocksAndIncompressibleInputCrossTheInputBuffer) {
  // Level 1 gives 100 kB blocks; random bytes give more than one input refill.
  Bytes data = PseudoRandomBytes(300000, 4);
  const Bytes runs(200000, 'x');
  data.insert(data.end(), runs.begin(), runs.end());
  Fixture f(Bzip2Compress(data, 1));
  EXPECT_EQ(ReadAll(*f.stream, 777), data);
}

TEST(BZip2StreamRead, CountZeroReturnsZeroWithoutDecoding) {
  Fixture f(Bzip2Compress(PseudoRandomBytes(5000, 5, 4)));
  int steps = 0;
  f.stream->SetProgressHandler({[](void* object, TCustomBZip2Stream&) { ++*static_cast<int*>(object); }, &steps});
  Bytes piece(1);
  EXPECT_EQ(f.stream->Read(piece.data(), 0), 0);
  EXPECT_EQ(steps, 0);
  EXPECT_EQ(f.stream->Position(), 0);
  EXPECT_EQ(f.source.Position(), 0);  // nothing taken from the source either
}

TEST(BZip2StreamRead, NegativeCountIsTreatedAsZero) {
  const Bytes data = PseudoRandomBytes(5000, 6, 4);
  Fixture f(Bzip2Compress(data));
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), -1), 0);
  EXPECT_EQ(ReadAll(*f.stream), data);
}

TEST(BZip2StreamRead, ProgressHandlerHearsEveryDecodingStepWithTheStreamAsSender) {
  const Bytes data = PseudoRandomBytes(300000, 7);
  Fixture f(Bzip2Compress(data, 1));
  struct Log {
    int steps = 0;
    TCustomBZip2Stream* sender = nullptr;
  } log;
  f.stream->SetProgressHandler({[](void* object, TCustomBZip2Stream& sender) {
                                  auto* l = static_cast<Log*>(object);
                                  ++l->steps;
                                  l->sender = &sender;
                                },
                                &log});
  Bytes piece(kChunk);
  ASSERT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_GE(log.steps, 1);
  EXPECT_EQ(log.sender, f.stream.get());
  const int before = log.steps;
  EXPECT_EQ(ReadAll(*f.stream), Slice(data, kChunk, data.size() - kChunk));
  EXPECT_GE(log.steps - before, static_cast<int>(data.size() / kChunk) - 1);
}

// --- The source ------------------------------------------------------------

TEST(BZip2StreamSource, StreamOverASourceAtItsEndDeliversNothingUntilRewound) {
  const Bytes data = PseudoRandomBytes(60000, 8, 10);
  TMemoryStream source(Bzip2Compress(data));
  source.Seek(0, soEnd);
  auto stream = std::make_unique<TBZDecompressionStream>(source);
  Bytes piece(kChunk);
  EXPECT_EQ(stream->Read(piece.data(), kChunk), 0);
  EXPECT_EQ(stream->Read(piece.data(), kChunk), 0);
  EXPECT_EQ(stream->Seek(0, soBeginning), 0);
  EXPECT_EQ(source.Position(), 0);
  EXPECT_EQ(ReadAll(*stream), data);
}

TEST(BZip2StreamSource, DecodingStartsWhereTheSourceStoodAtConstruction) {
  const Bytes data = PseudoRandomBytes(20000, 9, 10);
  Bytes stored = testsupport::ToBytes("0123456789");
  const Bytes compressed = Bzip2Compress(data);
  stored.insert(stored.end(), compressed.begin(), compressed.end());
  TMemoryStream source(stored);
  source.SetPosition(10);
  auto stream = std::make_unique<TBZDecompressionStream>(source);
  EXPECT_EQ(ReadAll(*stream), data);
  // The rewind goes to the source's absolute start, where no bzip2 data is.
  stream->Seek(0, soBeginning);
  Bytes piece(kChunk);
  EXPECT_EQ(DecompressionError([&] { stream->Read(piece.data(), kChunk); }), "error -5");
}

TEST(BZip2StreamSource, SourceMovedByOtherCodeIsPutBackBeforeEveryRead) {
  const Bytes data = PseudoRandomBytes(400000, 10);  // compressed: several input buffers
  Fixture f(Bzip2Compress(data, 1));
  Bytes out;
  Bytes piece(kChunk);
  std::int32_t got = 0;
  std::int32_t elsewhere = 0;
  do {
    elsewhere = (elsewhere + 37813) % f.source.Size();
    f.source.SetPosition(elsewhere);
    Bytes junk(100);
    f.source.Read(junk.data(), 100);
    got = f.stream->Read(piece.data(), kChunk);
    out.insert(out.end(), piece.begin(), piece.begin() + got);
  } while (got == kChunk);
  EXPECT_EQ(out, data);
}

TEST(BZip2StreamSource, CountZeroReadStillPutsTheSourceBack) {
  Fixture f(Bzip2Compress(PseudoRandomBytes(5000, 11, 4)));
  f.source.SetPosition(100);
  Bytes piece(1);
  EXPECT_EQ(f.stream->Read(piece.data(), 0), 0);
  EXPECT_EQ(f.source.Position(), 0);
}

TEST(BZip2StreamSource, TruncatedSourceGivesShortReadsWithoutAnError) {
  const Bytes data = PseudoRandomBytes(500000, 12, 64);
  Bytes compressed = Bzip2Compress(data, 1);
  compressed.resize(compressed.size() * 6 / 10);
  Fixture f(compressed);
  Bytes out;
  EXPECT_NO_THROW(out = ReadAll(*f.stream));
  EXPECT_GT(out.size(), 0u);  // whole blocks before the cut come out
  EXPECT_LT(out.size(), data.size());
  EXPECT_EQ(out, Slice(data, 0, out.size()));
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 0);
}

TEST(BZip2StreamSource, DestroyingTheStreamLeavesTheSourceAlone) {
  TMemoryStream source(Bzip2Compress(PseudoRandomBytes(1000, 13)));
  {
    TBZDecompressionStream stream(source);
    ReadAll(stream);
  }
  EXPECT_EQ(source.Position(), source.Size());
  EXPECT_GT(source.Size(), 0);
}

// --- Failures of the data --------------------------------------------------

TEST(BZip2StreamErrors, BytesAfterTheStreamEndFailWithSequenceError) {
  const Bytes data = PseudoRandomBytes(2 * kChunk, 14, 8);
  Bytes compressed = Bzip2Compress(data);
  const Bytes more = Bzip2Compress(testsupport::ToBytes("second stream"));
  compressed.insert(compressed.end(), more.begin(), more.end());
  Fixture f(compressed);
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(DecompressionError([&] { f.stream->Read(piece.data(), kChunk); }), "error -1");
}

TEST(BZip2StreamErrors, TrailingJunkFailsTheReadThatReachesPastTheEnd) {
  const Bytes data = PseudoRandomBytes(15000, 15, 8);
  Bytes compressed = Bzip2Compress(data);
  compressed.push_back(0);
  Fixture f(compressed);
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), kChunk);
  EXPECT_EQ(DecompressionError([&] { f.stream->Read(piece.data(), kChunk); }), "error -1");
}

TEST(BZip2StreamErrors, DataThatIsNotBzip2FailsWithMagicError) {
  Fixture f(testsupport::ToBytes("This is plain text, not a bzip2 stream at all."));
  Bytes piece(kChunk);
  EXPECT_EQ(DecompressionError([&] { f.stream->Read(piece.data(), kChunk); }), "error -5");
}

TEST(BZip2StreamErrors, DamagedBlockDataFailsWithDataError) {
  const Bytes data = PseudoRandomBytes(200000, 16, 32);
  const Bytes intact = Bzip2Compress(data);
  // Every flipped byte inside the Huffman-coded block body must be caught.
  for (std::size_t at : {std::size_t{40}, intact.size() / 3, intact.size() / 2, intact.size() - 20}) {
    Bytes damaged = intact;
    damaged[at] ^= 0x5A;
    Fixture f(damaged);
    EXPECT_EQ(DecompressionError([&] { ReadAll(*f.stream); }), "error -4") << "byte " << at;
  }
}

TEST(BZip2StreamErrors, WrongBlockChecksumFailsWithDataError) {
  Bytes compressed = Bzip2Compress(PseudoRandomBytes(5000, 17, 8));
  // "BZh9", the 6-byte block magic, then the block's CRC.
  compressed[10] ^= 0x01;
  Fixture f(compressed);
  EXPECT_EQ(DecompressionError([&] { ReadAll(*f.stream); }), "error -4");
}

TEST(BZip2StreamErrors, ErrorKindsFormATree) {
  Fixture f(testsupport::ToBytes("no bzip2"));
  Bytes piece(16);
  try {
    f.stream->Read(piece.data(), 16);
    FAIL() << "no error raised";
  } catch (const EBZip2Error& error) {
    EXPECT_NE(dynamic_cast<const EBZDecompressionError*>(&error), nullptr);
    const Exception& general = error;
    EXPECT_STREQ(general.Message(), "error -5");
  }
}

#ifdef BZ_NO_STDIO
TEST(BZip2StreamErrors, InternalErrorHookRaisesCompressionError) {
  try {
    // As libbz2 would call it from inside a guarded call.
    CallLibbz2([] {
      bz_internal_error(1007);
      return 0;
    });
    FAIL() << "no error raised";
  } catch (const EBZip2Error& error) {
    EXPECT_EQ(dynamic_cast<const EBZDecompressionError*>(&error), nullptr);
    EXPECT_STREQ(error.Message(), "Compression Error 1007");
  }
}
#endif

// --- Invalid operations ------------------------------------------------------

class BZip2StreamInvalid : public ::testing::Test {
 protected:
  BZip2StreamInvalid() : data(PseudoRandomBytes(50000, 18, 16)), f(Bzip2Compress(data)) {
    Bytes piece(20000);
    f.stream->ReadBuffer(piece.data(), 20000);
  }
  // The operation fails and leaves the stream where it was.
  void ExpectInvalid(const std::function<void()>& action) {
    EXPECT_EQ(DecompressionError(action), "Invalid stream operation");
    EXPECT_EQ(f.stream->Seek(0, soCurrent), 20000);
  }

  Bytes data;
  Fixture f;
};

TEST_F(BZip2StreamInvalid, WriteWithAnyCount) {
  const std::uint8_t bytes[4] = {1, 2, 3, 4};
  ExpectInvalid([&] { f.stream->Write(bytes, 4); });
  ExpectInvalid([&] { f.stream->Write(bytes, 0); });
  ExpectInvalid([&] { f.stream->Write(nullptr, -1); });
}

TEST_F(BZip2StreamInvalid, SeekFromTheEnd) {
  ExpectInvalid([&] { f.stream->Seek(0, soEnd); });
  ExpectInvalid([&] { f.stream->Seek(-10, soEnd); });
  ExpectInvalid([&] { f.stream->Size(); });
}

TEST_F(BZip2StreamInvalid, SeekBackwardFromTheCurrentPosition) {
  ExpectInvalid([&] { f.stream->Seek(-1, soCurrent); });
}

TEST_F(BZip2StreamInvalid, SeekFromTheBeginningToOrBeforeTheCurrentPosition) {
  ExpectInvalid([&] { f.stream->Seek(20000, soBeginning); });
  ExpectInvalid([&] { f.stream->Seek(19999, soBeginning); });
  ExpectInvalid([&] { f.stream->Seek(1, soBeginning); });
  ExpectInvalid([&] { f.stream->Seek(-1, soBeginning); });
}

TEST_F(BZip2StreamInvalid, UnknownOrigin) {
  ExpectInvalid([&] { f.stream->Seek(5, 3); });
}

TEST_F(BZip2StreamInvalid, ReadingGoesOnAfterARefusedOperation) {
  ExpectInvalid([&] { f.stream->Seek(0, soEnd); });
  EXPECT_EQ(ReadAll(*f.stream), Slice(data, 20000, data.size() - 20000));
}

// --- Seeking -----------------------------------------------------------------

TEST(BZip2StreamSeek, SeekByZeroFromCurrentReportsThePositionAndChangesNothing) {
  const Bytes data = PseudoRandomBytes(40000, 19, 16);
  Fixture f(Bzip2Compress(data));
  EXPECT_EQ(f.stream->Seek(0, soCurrent), 0);
  Bytes piece(12345);
  f.stream->ReadBuffer(piece.data(), 12345);
  EXPECT_EQ(f.stream->Seek(0, soCurrent), 12345);
  EXPECT_EQ(f.stream->Seek(0, soCurrent), 12345);
  EXPECT_EQ(ReadAll(*f.stream), Slice(data, 12345, data.size() - 12345));
}

TEST(BZip2StreamSeek, SeekFromTheBeginningBeyondThePositionSkipsForward) {
  const Bytes data = PseudoRandomBytes(100000, 20, 16);
  Fixture f(Bzip2Compress(data));
  Bytes piece(1000);
  f.stream->ReadBuffer(piece.data(), 1000);
  EXPECT_EQ(f.stream->Seek(50001, soBeginning), 50001);  // not a multiple of the skip piece
  EXPECT_EQ(ReadAll(*f.stream), Slice(data, 50001, data.size() - 50001));
}

TEST(BZip2StreamSeek, SeekFromTheCurrentPositionSkipsForward) {
  const Bytes data = PseudoRandomBytes(100000, 21, 16);
  Fixture f(Bzip2Compress(data));
  EXPECT_EQ(f.stream->Seek(4096, soCurrent), 4096);
  EXPECT_EQ(f.stream->Seek(3, soCurrent), 4099);
  Bytes piece(10);
  f.stream->ReadBuffer(piece.data(), 10);
  EXPECT_EQ(piece, Slice(data, 4099, 10));
}

TEST(BZip2StreamSeek, SkipToExactlyTheEndSucceeds) {
  const Bytes data = PseudoRandomBytes(30000, 22, 16);
  Fixture f(Bzip2Compress(data));
  EXPECT_EQ(f.stream->Seek(30000, soBeginning), 30000);
  Bytes piece(kChunk);
  EXPECT_EQ(f.stream->Read(piece.data(), kChunk), 0);
}

TEST(BZip2StreamSeek, SkipPastTheEndFailsWithReadError) {
  Fixture f(Bzip2Compress(PseudoRandomBytes(30000, 23, 16)));
  EXPECT_THROW(f.stream->Seek(30001, soBeginning), EReadError);
  Fixture g(Bzip2Compress(PseudoRandomBytes(30000, 23, 16)));
  EXPECT_THROW(g.stream->Seek(40000, soCurrent), EReadError);
}

TEST(BZip2StreamSeek, RewindStartsAgainFromTheSourceStart) {
  const Bytes data = PseudoRandomBytes(150000, 24, 16);
  Fixture f(Bzip2Compress(data, 1));
  Bytes piece(70000);
  f.stream->ReadBuffer(piece.data(), 70000);
  EXPECT_EQ(f.stream->Seek(0, soBeginning), 0);
  EXPECT_EQ(f.source.Position(), 0);
  EXPECT_EQ(f.stream->Position(), 0);
  EXPECT_EQ(ReadAll(*f.stream), data);
  // Also after the end of the stream and after an error-free short read.
  EXPECT_EQ(f.stream->Seek(0, soBeginning), 0);
  EXPECT_EQ(ReadAll(*f.stream), data);
}

TEST(BZip2StreamSeek, RewindRecoversFromAFailedDecodingStep) {
  Bytes compressed = Bzip2Compress(PseudoRandomBytes(3000, 25, 8));
  compressed.push_back(0xFF);
  Fixture f(compressed);
  Bytes piece(5000);
  ASSERT_EQ(DecompressionError([&] { f.stream->Read(piece.data(), 5000); }), "error -1");
  EXPECT_EQ(f.stream->Seek(0, soBeginning), 0);
  EXPECT_EQ(f.stream->Read(piece.data(), 3000), 3000);
}
