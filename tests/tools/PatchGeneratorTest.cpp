// The patch generator: every patch must rebuild the new file through the real
// applier and keep the stream's limits, and padding must end libbz2's
// compressor blocks exactly where the generator wants them to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "CompressorBlocks.h"
#include "PatchGenerator.h"
#include "archive/core/ByteOrder.h"
#include "archive/core/Diff.h"
#include "archive/core/MemoryStream.h"
#include "support/TempFolder.h"

namespace {

using namespace bzip2arc;
using namespace bzip2arc::patch;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

constexpr std::uint32_t kLimit = 2 * 1024 * 1024;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Slice(const Bytes& data, std::size_t from, std::size_t to) { return Bytes(data.data() + from, data.data() + to); }

// Every step bytes, `length` bytes replaced by those `distance` bytes before
// them: repeats too short to anchor an alignment and off its shift.
Bytes ShortRepeats(Bytes data, std::size_t step, std::size_t length, std::size_t distance) {
  for (std::size_t i = distance; i + length <= data.size(); i += step) {
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(i - distance), length, data.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return data;
}

Bytes Flipped(Bytes data, std::size_t step, std::uint8_t bits) {
  for (std::size_t i = 0; i < data.size(); i += step) data[i] ^= bits;
  return data;
}

// Something like machine code: a small vocabulary of byte strings.
Bytes CodeLike(std::size_t length, std::uint32_t seed) {
  const Bytes words = PseudoRandomBytes(4096, seed), picks = PseudoRandomBytes(length, seed + 1);
  Bytes out;
  for (std::size_t i = 0; out.size() < length; ++i) {
    const std::size_t at = (picks[i % length] * 13u + i) % (words.size() - 8), count = 1 + picks[i * 7 % length] % 8;
    out.insert(out.end(), words.begin() + at, words.begin() + at + count);
  }
  out.resize(length);
  return out;
}

std::size_t Compressed(const Bytes& data) { return testsupport::Bzip2Compress(data).size(); }

// The blocks of libbz2's stream of data[0, length): block headers (a 48-bit
// magic) at any bit offset.
int CompressorBlocks(const Bytes& data, std::size_t length) {
  const Bytes compressed = testsupport::Bzip2Compress(Slice(data, 0, length));
  std::uint64_t window = 0;
  int count = 0;
  for (std::size_t bit = 0; bit < compressed.size() * 8; ++bit) {
    window = (window << 1 | (compressed[bit / 8] >> (7 - bit % 8) & 1u)) & 0xFFFFFFFFFFFFu;
    count += bit >= 47 && window == 0x314159265359u;
  }
  return count;
}

// Generates the patch, rebuilds the new file through the applier and walks
// the stream it took in full: the limits it relies on, and what it tolerates
// but a sound stream never holds. Returns the patch and where its padding
// blocks (inserted bytes that no copy record uses) end.
std::pair<Bytes, std::vector<std::size_t>> RoundTrip(const Bytes& oldData, const Bytes& newData,
                                                     const PatchOptions& options = {}) {
  const Bytes patch = MakePatch(oldData, newData, options);
  TMemoryStream patchFile(patch), oldFile(oldData), newFile;
  bool applied = false;
  EXPECT_NO_THROW(ApplyPatch(patchFile, oldFile, newFile, nullptr); applied = true);
  EXPECT_TRUE(newFile.Bytes() == newData) << "the patch does not rebuild the new file";
  std::vector<std::size_t> paddingEnds;
  std::size_t p = 0;
  for (; applied && (patch[p + 4] != 0 || LoadU32LE(&patch[p + 5]) != 0);) {  // up to the end block
    const std::uint32_t oldLength = LoadU32LE(&patch[p]), length = LoadU32LE(&patch[p + 5]);
    if (patch[p + 4] == 0) {  // literal data
      EXPECT_LE(std::max(oldLength, length), kLimit) << "literal block at " << p;
      p += 13 + std::size_t{length};
      continue;
    }
    const std::uint32_t inserted = LoadU32LE(&patch[p + 13]), tableLength = LoadU32LE(&patch[p + 17]);
    const std::uint8_t* const table = &patch[p + 21 + inserted];
    p += 21 + std::size_t{inserted} + tableLength;
    std::uint64_t rebuilt = 0, gaps = 0;
    for (std::uint32_t r = 0; r < tableLength / 10; ++r) {
      const std::uint64_t copied = LoadU16LE(table + 10 * r), source = LoadU32LE(table + 10 * r + 2);
      const std::uint64_t gap = LoadU32LE(table + 10 * r + 6) - 1 - rebuilt;
      // An empty record only places inserted bytes that end the block.
      EXPECT_TRUE(copied > 0 ? source >= 1 && source - 1 + copied <= oldLength : gap > 0 && r + 1 == tableLength / 10);
      gaps += gap;
      rebuilt += gap + copied;
    }
    EXPECT_TRUE(std::max<std::uint64_t>({oldLength, inserted, tableLength, rebuilt}) <= kLimit &&
                tableLength % 10 == 0) << "delta block ending at " << p;
    if (gaps < inserted) {
      EXPECT_EQ(oldLength + tableLength, 0u) << "unused inserted bytes outside a padding block";
      paddingEnds.push_back(p);
    }
  }
  EXPECT_TRUE(!applied || p + 9 == patch.size()) << "bytes after the end block";
  return {patch, paddingEnds};
}

}  // namespace

// The bound on the compressed patch shows that the generator found what the
// case offers to reuse.
TEST(PatchGenerator, PatchesRebuildTheNewFileWithinTheStreamLimits) {
  static constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();
  struct Case {
    std::string Name;
    Bytes OldData, NewData;
    std::size_t MaxCompressed = kAny;
    std::uint32_t BlockLength = PlanOptions{}.BlockLength;
  };
  const Bytes code = CodeLike(200000, 6), large = CodeLike(2 * 1024 * 1024 + 777, 4), big = CodeLike(5 << 20, 9);
  const Bytes wide = PseudoRandomBytes(6 << 20, 11, 64), random = PseudoRandomBytes(300000, 19);
  const std::vector<Case> cases = {
      {"both empty", {}, {}},
      {"empty new", PseudoRandomBytes(5000, 1), {}},
      {"empty old", {}, PseudoRandomBytes(300000, 2, 16)},
      {"shorter than a match key", {1, 2, 3}, {1, 2, 3}},
      {"run to one byte", Bytes(13, 5), {5}},
      {"identical", large, large, large.size() / 100},
      {"small edits in a large file", large, Flipped(large, 10487, 0x5A), 20000},
      {"insertion", code, Concat({Slice(code, 0, 70000), PseudoRandomBytes(5000, 7), Slice(code, 70000, 200000)}),
       9000},
      {"deletion", code, Concat({Slice(code, 0, 50000), Slice(code, 61000, 200000)}), 4000},
      {"deletion longer than an old range", big,
       Concat({Slice(big, 0, 100000), Slice(big, big.size() - 100000, big.size())}), 4000},
      {"moved blocks", Slice(code, 0, 120000),
       Concat({Slice(code, 80000, 120000), Slice(code, 40000, 80000), Slice(code, 0, 40000)}), 55000},
      {"many blocks", wide,
       Concat({Slice(wide, 0, 3000000), PseudoRandomBytes(1000, 12), Slice(wide, 3000000, wide.size())}), 20000, 65536},
      {"long runs", Concat({Bytes(1000000, 0), Bytes(500000, 0xFF), Bytes(1700000, 0)}),
       Concat({Bytes(1200000, 0), Bytes(700000, 0xFF), Bytes(600000, 0), {7}, Bytes(650000, 0)}), 20000},
      {"unrelated random data", PseudoRandomBytes(400000, 13), PseudoRandomBytes(500000, 14)},
      {"blocks of a byte", code, Flipped(code, 37, 1), kAny, 1},
      {"blocks of 7 bytes", code, Flipped(code, 37, 1), kAny, 7},
      {"a change every 20 bytes", random, Flipped(random, 20, 0x80), kAny, 65536},
      {"short repeats from nearby", random, ShortRepeats(random, 97, 10, 300), 30000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PatchOptions options;
    options.Plan.BlockLength = c.BlockLength;
    EXPECT_LE(Compressed(RoundTrip(c.OldData, c.NewData, options).first), c.MaxCompressed);
  }
}

// New content unrelated to the old file between stretches of edited old
// content: a compressor block of its own pays only for some content, and
// then padding must end the blocks right before and right after it.
TEST(PatchGenerator, PaddingStartsACompressorBlockWhereThatPaysWhateverTheThreads) {
  const Bytes oldData = CodeLike(600000, 20), edited = Flipped(oldData, 97, 0x21);
  Bytes offsets(400000);  // like a table of offsets: compresses well, and quite unlike code
  for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = static_cast<std::uint8_t>(i / 4 * 8 >> i % 4 * 8);
  PatchOptions oneThread, plain;
  oneThread.Plan.Threads = 1;
  plain.Plan.AlignCompressorBlocks = false;
  for (const auto& [literal, pays] : {std::pair{offsets, true}, std::pair{PseudoRandomBytes(400000, 22), false},
                                      std::pair{CodeLike(400000, 23), false}}) {
    const Bytes newData = Concat({Slice(edited, 0, 300000), literal, Slice(edited, 300000, edited.size())});
    const auto [patch, paddingEnds] = RoundTrip(oldData, newData);
    EXPECT_EQ(MakePatch(oldData, newData, oneThread), patch);
    const Bytes unpadded = MakePatch(oldData, newData, plain);
    EXPECT_EQ(unpadded == patch, !pays);
    if (!pays) continue;
    EXPECT_LT(Compressed(patch), Compressed(unpadded));
    ASSERT_EQ(paddingEnds.size(), 2u);
    for (const std::size_t end : paddingEnds)
      EXPECT_EQ(CompressorBlocks(patch, end + 1), CompressorBlocks(patch, end) + 1) << "padding ending at " << end;
  }
}

// The tracker must know libbz2's block ends to the byte, also where runs
// (which libbz2 codes first) cross them.
TEST(CompressorBlockTracker, FillingEndsTheBlockExactlyWhereLibbz2Does) {
  for (const std::uint32_t seed : {1u, 2u}) {
    Bytes data = PseudoRandomBytes(2000000 + seed * 300000, seed);
    // Runs of every length up to 300 now and then.
    for (std::size_t i = 0; i + 300 < data.size(); i += 700) std::fill_n(data.begin() + i, i / 700 % 300 + 1, data[i]);
    CompressorBlockTracker tracker;
    tracker.Add(data);
    // Bytes that continue no run, then one more.
    for (std::int64_t i = tracker.BytesToFill(); i > 0; --i) data.push_back(data.back() == 0x55 ? 0xAA : 0x55);
    data.push_back(0);
    EXPECT_EQ(CompressorBlocks(data, data.size() - 1), tracker.BlocksEnded() + 1);
    EXPECT_EQ(CompressorBlocks(data, data.size()), tracker.BlocksEnded() + 2);
  }
}
