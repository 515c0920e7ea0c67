#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/TempFolder.h"
#include "tools/szdd/SzddDecoder.h"
#include "tools/szdd/SzddEncoder.h"

#ifdef _WIN32
#include <windows.h>

#include <lzexpand.h>
#endif

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;
using testsupport::TempFolder;

namespace {

constexpr std::size_t kHeader = 14;

// A decoder that isn't ours: LZ32 itself on Windows (Wine), msexpand elsewhere.
#ifdef _WIN32
struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

template <typename Function>
Function Entry(HMODULE module, const char* name) {
  const auto address = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
  if (address == nullptr) throw std::runtime_error(std::string("lz32.dll lacks ") + name);
  return reinterpret_cast<Function>(address);
}

Bytes ExpandIndependently(const Bytes& file) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer> lz32(LoadLibraryA("lz32.dll"));
  if (!lz32) throw std::runtime_error("cannot load lz32.dll");
  const auto open = Entry<decltype(&LZOpenFileA)>(lz32.get(), "LZOpenFileA");
  const auto copy = Entry<decltype(&LZCopy)>(lz32.get(), "LZCopy");
  const auto close = Entry<decltype(&LZClose)>(lz32.get(), "LZClose");
  TempFolder folder;
  std::string source = folder.File("data.dl_");
  std::string target = folder.File("data.bin");
  testsupport::WriteFileBytes(source, file);
  OFSTRUCT sourceInfo{};
  OFSTRUCT targetInfo{};
  const INT from = open(source.data(), &sourceInfo, OF_READ);
  if (from < 0) throw std::runtime_error("LZOpenFileA refused the SZDD file");
  const INT to = open(target.data(), &targetInfo, OF_CREATE | OF_WRITE);
  if (to < 0) {
    close(from);
    throw std::runtime_error("LZOpenFileA cannot create the target");
  }
  const LONG copied = copy(from, to);
  close(from);
  close(to);
  if (copied < 0) throw std::runtime_error("LZCopy failed with " + std::to_string(copied));
  return testsupport::ReadFileBytes(target);
}
#else
Bytes ExpandIndependently(const Bytes& file) {
  static const bool present = std::system("command -v msexpand >/dev/null 2>&1") == 0;
  if (!present) {
    throw std::runtime_error("msexpand is not on PATH: install the mscompress package (scripts/setup)");
  }
  TempFolder folder;
  const std::string source = folder.File("data.sz");
  const std::string target = folder.File("data.bin");
  testsupport::WriteFileBytes(source, file);
  const std::string command = "msexpand < '" + source + "' > '" + target + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("msexpand failed on " + source);
  return testsupport::ReadFileBytes(target);
}
#endif

std::size_t Groups(std::size_t items) { return (items + 7) / 8; }

// Encodes, checks that both decoders restore `data` and that the stream holds
// exactly the items the data needs, then returns the file.
Bytes CheckedEncode(const Bytes& data) {
  const Bytes file = SzddEncode(data);
  EXPECT_EQ(SzddDecode(file), data) << "own decoder, " << data.size() << " bytes";
  EXPECT_EQ(ExpandIndependently(file), data) << "independent decoder, " << data.size() << " bytes";
  const SzddStream stream = SzddExpandWholeStream(file);
  EXPECT_EQ(stream.Bytes, data) << "whole stream, " << data.size() << " bytes";
  EXPECT_EQ(stream.FlagBytes, Groups(stream.Literals + stream.References));
  EXPECT_EQ(file.size(), kHeader + stream.FlagBytes + stream.Literals + 2 * stream.References);
  return file;
}

// One reference as the decoder meets it: `at` bytes are out before it.
struct Reference {
  std::size_t at;
  std::size_t source;
  std::size_t length;
  // How far back the slot lies from the writing position (1..4096).
  std::size_t Distance() const { return (4080 + at - source + 4096 - 1) % 4096 + 1; }
  bool ReadsNeverWrittenSlots() const { return Distance() > at; }
  bool Overlaps() const { return Distance() < length; }
  bool Wraps() const { return source + length > 4096; }
};

std::vector<Reference> ReferencesOf(const Bytes& file) {
  std::vector<Reference> references;
  std::size_t at = 0;
  std::size_t i = kHeader;
  while (i < file.size()) {
    const unsigned flags = file[i++];
    for (int bit = 0; bit < 8 && i < file.size(); ++bit) {
      if (flags & (1u << bit)) {
        ++i;
        ++at;
        continue;
      }
      const std::size_t length = (file[i + 1] & 0x0Fu) + 3;
      references.push_back({at, file[i] | (std::size_t{file[i + 1] & 0xF0u} << 4), length});
      i += 2;
      at += length;
    }
  }
  return references;
}

Bytes Repeat(std::uint8_t value, std::size_t count) { return Bytes(count, value); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::filesystem::path OwnExecutable() {
#ifdef _WIN32
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) throw std::runtime_error("cannot find the test executable");
  return std::filesystem::path(path);
#else
  return std::filesystem::read_symlink("/proc/self/exe");
#endif
}

Bytes SzddFile(std::uint32_t length, const Bytes& data) {
  Bytes file = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0};
  for (int shift = 0; shift < 32; shift += 8) file.push_back(static_cast<std::uint8_t>(length >> shift));
  return Concat(file, data);
}

}  // namespace

// --- the file the encoder writes ---

TEST(SzddEncode, HeaderHoldsMagicModeAndLittleEndianLength) {
  const Bytes file = SzddEncode(PseudoRandomBytes(0x1234, 7, 4));
  const Bytes expected = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0x00, 0x34, 0x12, 0x00, 0x00};
  ASSERT_GE(file.size(), kHeader);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + kHeader), expected);
  const SzddHeader header = ReadSzddHeader(file);
  EXPECT_EQ(header.Mode, 'A');
  EXPECT_EQ(header.MissingChar, 0);
  EXPECT_EQ(header.ExpandedLength, 0x1234u);
}

TEST(SzddEncode, EmptyInputIsTheHeaderAlone) {
  const Bytes file = CheckedEncode({});
  EXPECT_EQ(file.size(), kHeader);
}

TEST(SzddEncode, SingleByteIsOneLiteralInAGroupOfItsOwn) {
  const Bytes file = CheckedEncode({'q'});
  EXPECT_EQ(file, SzddFile(1, {0x01, 'q'}));
}

TEST(SzddEncode, EveryShortLengthRoundTrips) {
  for (std::size_t length = 0; length < 160; ++length) {
    CheckedEncode(PseudoRandomBytes(length, static_cast<std::uint32_t>(length), 3));
  }
}

// --- the window as the decoder keeps it ---

TEST(SzddEncode, LeadingBlanksAreCopiedFromTheUnwrittenWindow) {
  const Bytes data = Concat(Repeat(' ', 36), testsupport::ToBytes("tail"));
  const Bytes file = CheckedEncode(data);
  // Two full-length references and four literals in one group.
  EXPECT_EQ(file.size(), kHeader + 1 + 2 * 2 + 4);
  const auto references = ReferencesOf(file);
  ASSERT_FALSE(references.empty());
  EXPECT_EQ(references[0].at, 0u);
  EXPECT_TRUE(references[0].ReadsNeverWrittenSlots());
}

TEST(SzddEncode, BlanksLaterInTheDataStillMatchUnwrittenSlots) {
  // No blank has been written yet, so only the initial window can supply these.
  const Bytes data = Concat(PseudoRandomBytes(1000, 11, 200), Repeat(' ', 18));
  const Bytes file = CheckedEncode(data);
  const auto references = ReferencesOf(file);
  ASSERT_FALSE(references.empty());
  EXPECT_EQ(references.back().at, 1000u);
  EXPECT_EQ(references.back().length, 18u);
  EXPECT_TRUE(references.back().ReadsNeverWrittenSlots());
}

TEST(SzddEncode, LongRunsBecomeOverlappingCopies) {
  const Bytes file = CheckedEncode(Repeat('A', 10000));
  // One literal, then 9,999 bytes in 556 references.
  EXPECT_EQ(file.size(), kHeader + Groups(557) + 1 + 2 * 556);
  const auto references = ReferencesOf(file);
  ASSERT_EQ(references.size(), 556u);
  EXPECT_TRUE(references[0].Overlaps());
}

TEST(SzddEncode, PeriodicDataCopiesItsOwnOutput) {
  const Bytes data = Concat(Concat(Repeat('x', 5), testsupport::ToBytes("abcdefg")), Repeat('z', 3));
  Bytes periodic;
  for (int i = 0; i < 500; ++i) periodic = Concat(periodic, data);
  const Bytes file = CheckedEncode(periodic);
  EXPECT_LT(file.size(), periodic.size() / 8);
}

TEST(SzddEncode, RepeatsJustInsideTheWindowAreFound) {
  for (std::size_t distance : {4000u, 4080u, 4094u, 4095u}) {
    const Bytes block = PseudoRandomBytes(distance, static_cast<std::uint32_t>(distance));
    const Bytes data = Concat(block, Bytes(block.begin(), block.begin() + 1800));
    const Bytes file = CheckedEncode(data);
    // The random block costs about 9/8 of its length; the repeat 100 references.
    EXPECT_LT(file.size(), kHeader + distance * 9 / 8 + 260) << "distance " << distance;
    bool found = false;
    for (const auto& reference : ReferencesOf(file)) {
      if (reference.at >= distance && reference.Distance() == distance) found = true;
    }
    EXPECT_TRUE(found) << "distance " << distance;
  }
}

TEST(SzddEncode, RepeatsAtOrBeyondTheWindowSizeRoundTrip) {
  for (std::size_t distance : {4096u, 4097u, 4111u, 5000u}) {
    const Bytes block = PseudoRandomBytes(distance, static_cast<std::uint32_t>(distance));
    CheckedEncode(Concat(block, Bytes(block.begin(), block.begin() + 500)));
  }
}

TEST(SzddEncode, ReferencesWrapAtTheWindowEnd) {
  const Bytes data = PseudoRandomBytes(30000, 5, 4);
  const Bytes file = CheckedEncode(data);
  std::size_t wrapped = 0;
  for (const auto& reference : ReferencesOf(file)) wrapped += reference.Wraps() ? 1 : 0;
  EXPECT_GT(wrapped, 0u);
}

TEST(SzddEncode, RandomDataGrowsByNoMoreThanItsFlagBytes) {
  for (std::size_t length : {1000u, 4095u, 4096u, 4097u, 70000u}) {
    const Bytes data = PseudoRandomBytes(length, static_cast<std::uint32_t>(length) + 99);
    const Bytes file = CheckedEncode(data);
    EXPECT_LE(file.size(), kHeader + length + Groups(length));
  }
}

TEST(SzddEncode, RealBinaryRoundTripsAndShrinks) {
  // The part of the size the library has; msexpand is slow on megabytes.
  Bytes data = testsupport::ReadFileBytes(OwnExecutable());
  ASSERT_GT(data.size(), 10000u);
  data.resize(std::min<std::size_t>(data.size(), 256 * 1024));
  const Bytes file = CheckedEncode(data);
  EXPECT_LT(file.size(), data.size() * 3 / 4);
}

TEST(SzddEncode, NoItemFollowsTheData) {
  // Lengths that end a group exactly, one item short, one item over, and
  // data ending inside what could be a longer reference.
  for (std::size_t length : {8u, 7u, 9u, 16u, 17u}) {
    const Bytes data = PseudoRandomBytes(length, 3);
    const SzddStream stream = SzddExpandWholeStream(SzddEncode(data));
    EXPECT_EQ(stream.Bytes, data);
    EXPECT_EQ(stream.Literals, length);
    EXPECT_EQ(stream.FlagBytes, Groups(length));
  }
  for (std::size_t length : {19u, 20u, 21u, 37u, 40u}) {
    const SzddStream stream = SzddExpandWholeStream(SzddEncode(Repeat(0, length)));
    EXPECT_EQ(stream.Bytes, Repeat(0, length));
  }
}

// --- the reference decoder ---

TEST(SzddDecode, RejectsWhatIsNotModeA) {
  Bytes file = SzddEncode(testsupport::ToBytes("hello"));
  EXPECT_THROW(SzddDecode(Bytes(file.begin(), file.begin() + kHeader - 1)), SzddError);
  Bytes wrongMagic = file;
  wrongMagic[7] = 0x34;
  EXPECT_THROW(SzddDecode(wrongMagic), SzddError);
  Bytes wrongMode = file;
  wrongMode[8] = 'B';
  EXPECT_THROW(SzddDecode(wrongMode), SzddError);
  EXPECT_THROW(SzddExpandWholeStream(wrongMode), SzddError);
}

TEST(SzddDecode, UnwrittenSlotsReadAsBlanks) {
  // A reference to slot 0 before anything is written: 18 blanks.
  EXPECT_EQ(SzddDecode(SzddFile(18, {0x00, 0x00, 0x0F})), Repeat(' ', 18));
}

TEST(SzddDecode, CopiesOverlapTheirOwnOutputAndWrap) {
  // 'a', 'b' at slots 4080, 4081, then 6 bytes from slot 4080: "ababab".
  EXPECT_EQ(SzddDecode(SzddFile(8, {0x03, 'a', 'b', 0xF0, 0xF3})), testsupport::ToBytes("abababab"));
  // 18 literals fill slots 4080..4095, 0 and 1; then 4 bytes from slot 4094 on.
  const Bytes letters = testsupport::ToBytes("ABCDEFGHIJKLMNOPQR");
  Bytes items = {0xFF};
  items.insert(items.end(), letters.begin(), letters.begin() + 8);
  items.push_back(0xFF);
  items.insert(items.end(), letters.begin() + 8, letters.begin() + 16);
  items.insert(items.end(), {0x03, 'Q', 'R', 0xFE, 0xF1});
  EXPECT_EQ(SzddDecode(SzddFile(22, items)), testsupport::ToBytes("ABCDEFGHIJKLMNOPQROPQR"));
}

TEST(SzddDecode, StopsAtTheHeaderLength) {
  const Bytes data = {0x06, 0x00, 0x0F, 'x', 'y'};
  EXPECT_EQ(SzddDecode(SzddFile(5, data)), Repeat(' ', 5));
  EXPECT_EQ(SzddExpandWholeStream(SzddFile(5, data)).Bytes, Concat(Repeat(' ', 18), testsupport::ToBytes("xy")));
}

TEST(SzddDecode, FailsWhenTheDataEndsBeforeTheLength) {
  EXPECT_THROW(SzddDecode(SzddFile(3, {0xFF, 'a', 'b'})), SzddError);
  EXPECT_THROW(SzddDecode(SzddFile(1, {})), SzddError);
}

TEST(SzddDecode, WholeStreamFailsInsideACutReference) {
  EXPECT_THROW(SzddExpandWholeStream(SzddFile(0, {0x00, 0x12})), SzddError);
  const SzddStream flagOnly = SzddExpandWholeStream(SzddFile(0, {0x00}));
  EXPECT_TRUE(flagOnly.Bytes.empty());
  EXPECT_EQ(flagOnly.FlagBytes, 1u);
}
