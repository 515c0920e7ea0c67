// The SZDD encoder, checked against our decoder and one that isn't ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
template <typename Function>
Function Entry(HMODULE module, const char* name) {
  const auto address = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
  if (address == nullptr) throw std::runtime_error(std::string("lz32.dll lacks ") + name);
  return reinterpret_cast<Function>(address);
}

Bytes ExpandIndependently(const Bytes& file) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> lz32(LoadLibraryA("lz32.dll"),
                                                                                     &FreeLibrary);
  const auto open = Entry<decltype(&LZOpenFileA)>(lz32.get(), "LZOpenFileA");
  const auto copy = Entry<decltype(&LZCopy)>(lz32.get(), "LZCopy");
  const auto close = Entry<decltype(&LZClose)>(lz32.get(), "LZClose");
  TempFolder folder;
  std::string source = folder.File("data.dl_"), target = folder.File("data.bin");
  testsupport::WriteFileBytes(source, file);
  OFSTRUCT sourceInfo{}, targetInfo{};
  const INT from = open(source.data(), &sourceInfo, OF_READ);
  const INT to = open(target.data(), &targetInfo, OF_CREATE | OF_WRITE);
  const LONG copied = copy(from, to);  // refuses handles that failed to open
  close(from);
  close(to);
  if (copied < 0) throw std::runtime_error("LZ32 failed with " + std::to_string(copied));
  return testsupport::ReadFileBytes(target);
}

std::filesystem::path OwnExecutable() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::string(path, length));
}
#else
Bytes ExpandIndependently(const Bytes& file) {
  TempFolder folder;
  const std::string source = folder.File("data.sz"), target = folder.File("data.bin");
  testsupport::WriteFileBytes(source, file);
  const std::string command = "msexpand < '" + source + "' > '" + target + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("msexpand failed (scripts/setup installs it)");
  return testsupport::ReadFileBytes(target);
}

std::filesystem::path OwnExecutable() { return std::filesystem::read_symlink("/proc/self/exe"); }
#endif

std::size_t Groups(std::size_t items) { return (items + 7) / 8; }

}  // namespace

TEST(SzddEncode, HeaderHoldsMagicModeAndLittleEndianLength) {
  const Bytes file = SzddEncode(PseudoRandomBytes(0x1234, 7, 4));
  ASSERT_GE(file.size(), kHeader);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + kHeader),
            (Bytes{'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0x00, 0x34, 0x12, 0x00, 0x00}));
}

// Every decoder restores the data, the file holds exactly the items the data
// needs (LZ32 expands the whole stream, whatever the header says), and no
// file is larger than a literal and its flag bit per byte take. A tighter
// bound shows the encoder used what the case is about.
TEST(SzddEncode, EveryDecoderRestoresTheDataAndNoItemFollowsIt) {
  struct Case {
    std::string name;
    Bytes data;
    std::size_t maxFile = SIZE_MAX;
  };
  Bytes blanksAfterData = PseudoRandomBytes(1000, 11, 200), binary = testsupport::ReadFileBytes(OwnExecutable());
  const std::size_t randomFile = SzddEncode(blanksAfterData).size();
  blanksAfterData.resize(1018, ' ');  // only the never-written window has 18 blanks in a row
  binary.resize(std::min<std::size_t>(binary.size(), 256 * 1024));  // msexpand is slow on megabytes
  std::string periodic;
  for (int i = 0; i < 500; ++i) periodic += "xxxxxabcdefgzzz";
  std::vector<Case> cases = {
      {"empty", {}, kHeader},
      {"one byte", {'q'}, kHeader + 2},
      // Two full-length references into the never-written window, four literals.
      {"leading blanks", testsupport::ToBytes(std::string(36, ' ') + "tail"), kHeader + 1 + 2 * 2 + 4},
      {"blanks after data", blanksAfterData, randomFile + 3},
      // One literal, then 9,999 bytes in 556 overlapping references.
      {"long run", Bytes(10000, 'A'), kHeader + Groups(557) + 1 + 2 * 556},
      {"periodic", testsupport::ToBytes(periodic), periodic.size() / 8},
      {"wraps the window", PseudoRandomBytes(30000, 5, 4), 30000 * 3 / 8},
      {"real binary", binary, binary.size() * 3 / 4},
  };
  for (const std::size_t distance : {4080u, 4095u, 4096u, 4097u}) {
    // The random block costs about 9/8 of its length; a reachable repeat 100 references.
    const Bytes block = PseudoRandomBytes(distance, static_cast<std::uint32_t>(distance));
    Bytes data = block;
    data.insert(data.end(), block.begin(), block.begin() + 1800);
    const std::size_t bound = distance < 4096 ? kHeader + distance * 9 / 8 + 260 : SIZE_MAX;
    cases.push_back({"repeat at " + std::to_string(distance), data, bound});
  }
  for (const std::size_t length : {1000u, 4096u, 70000u}) {
    cases.push_back({"random " + std::to_string(length), PseudoRandomBytes(length, 99)});
  }
  // Lengths around group ends; zeros end inside what could be a longer reference.
  for (std::size_t length = 2; length < 42; ++length) {
    cases.push_back({"short " + std::to_string(length), PseudoRandomBytes(length, 3, 3)});
    cases.push_back({"zeros " + std::to_string(length), Bytes(length, 0)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = SzddEncode(c.data);
    EXPECT_LE(file.size(), std::min(c.maxFile, kHeader + c.data.size() + Groups(c.data.size())));
    EXPECT_EQ(SzddDecode(file), c.data);
    EXPECT_EQ(ExpandIndependently(file), c.data);
    const SzddStream stream = SzddExpandWholeStream(file);
    EXPECT_EQ(stream.Bytes, c.data);
    EXPECT_EQ(stream.FlagBytes, Groups(stream.Literals + stream.References));
    EXPECT_EQ(file.size(), kHeader + stream.FlagBytes + stream.Literals + 2 * stream.References);
  }
}

TEST(SzddDecode, RejectsWhatIsNotModeAOrEndsEarly) {
  const Bytes file = SzddEncode(testsupport::ToBytes("hello"));
  Bytes wrongMagic = file, wrongMode = file, cutReference = SzddEncode({});
  wrongMagic[7] = 0x34;
  wrongMode[8] = 'B';
  cutReference.insert(cutReference.end(), {0x00, 0x12});
  for (const Bytes& bad : {Bytes(file.begin(), file.begin() + kHeader - 1), wrongMagic, wrongMode,
                           Bytes(file.begin(), file.end() - 1)}) {
    EXPECT_THROW(SzddDecode(bad), SzddError);
  }
  EXPECT_THROW(SzddExpandWholeStream(wrongMode), SzddError);
  EXPECT_THROW(SzddExpandWholeStream(cutReference), SzddError);
}
