// The parallel compressor writes libbz2's own streams: the bytes of
// BZ2_bzBuffToBuffCompress (and bzip2 -9) for the same content, whatever the
// threads and however the content is handed over, also where runs, which
// libbz2 codes first, cross the ends of its blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "CompressorBlocks.h"
#include "ParallelCompressor.h"
#include "support/TempFolder.h"

namespace {

using bzip2arc::ParallelCompressor;
using testsupport::Bytes;
using testsupport::Bzip2Compress;
using testsupport::PseudoRandomBytes;

// The streams written, one per EndStream.
std::vector<Bytes> Compress(const std::vector<Bytes>& contents, int level, unsigned threads, std::size_t piece) {
  std::vector<Bytes> streams(1);
  ParallelCompressor compressor(level, threads, [&](std::span<const std::uint8_t> bytes, bool streamEnds) {
    streams.back().insert(streams.back().end(), bytes.begin(), bytes.end());
    if (streamEnds) streams.emplace_back();
  });
  for (const Bytes& content : contents) {
    for (std::size_t at = 0; at < content.size(); at += piece)
      compressor.Write({content.data() + at, std::min(piece, content.size() - at)});
    compressor.EndStream();
  }
  compressor.Flush();
  streams.pop_back();
  return streams;
}

// Random bytes with runs of every length up to 300 here and there.
Bytes WithRuns(std::size_t length, std::uint32_t seed) {
  Bytes data = PseudoRandomBytes(length, seed);
  for (std::size_t i = 0; i + 300 < data.size(); i += 520) std::fill_n(data.begin() + i, i / 520 % 300 + 1, data[i]);
  return data;
}

int BlockCount(const Bytes& content, int level) {
  bzip2arc::CompressorBlockTracker tracker(level);
  tracker.Add(content);
  return static_cast<int>(tracker.BlocksEnded()) + (content.empty() ? 0 : 1);
}

}  // namespace

TEST(ParallelCompressor, WritesLibbz2sStreamWhateverTheThreadsAndPieces) {
  struct Case {
    std::string Name;
    Bytes Content;
    int Level;
  };
  const Case cases[] = {
      {"nothing", {}, 9},
      {"one byte", {0x41}, 9},
      {"text-like, several blocks", PseudoRandomBytes(2'000'000, 1, 16), 9},
      {"runs across the ends of blocks", WithRuns(600'000, 2), 1},
      {"zeros: blocks of 5 MB, one run after another", Bytes(11'000'000, 0), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Bytes expected = Bzip2Compress(c.Content, c.Level);
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
      for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{4099}, std::size_t{255}}) {
        if (piece < 4099 && c.Content.size() > 1'000'000) continue;  // many calls, nothing new
        EXPECT_EQ(Compress({c.Content}, c.Level, threads, piece), std::vector<Bytes>{expected})
            << threads << " threads, pieces of " << piece;
      }
    }
    if (c.Name.starts_with("runs")) {
      EXPECT_GE(BlockCount(c.Content, c.Level), 5);
    }
  }
}

// Streams follow each other through the same threads; an empty one is
// libbz2's empty stream.
TEST(ParallelCompressor, StreamsOneAfterAnother) {
  const std::vector<Bytes> contents = {WithRuns(250'000, 3), {}, PseudoRandomBytes(30'000, 4, 4), WithRuns(120'000, 5)};
  std::vector<Bytes> expected;
  for (const Bytes& content : contents) expected.push_back(Bzip2Compress(content, 1));
  for (const unsigned threads : {1u, 3u}) {
    EXPECT_EQ(Compress(contents, 1, threads, 7000), expected);
  }
}
