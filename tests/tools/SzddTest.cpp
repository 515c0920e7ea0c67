// The SZDD encoder, checked against our decoder and one that isn't ours, and
// the szdd program as the loader's build runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>

#include "support/TempFolder.h"
#include "tools/szdd/SzddDecoder.h"
#include "tools/szdd/SzddEncoder.h"

#ifdef _WIN32
#include <windows.h>

#include <lzexpand.h>
#else
#include <sys/wait.h>
#endif

using namespace bzip2arc;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;
using testsupport::TempFolder;

namespace {

constexpr std::size_t kHeader = 14;

std::size_t Groups(std::size_t items) { return (items + 7) / 8; }

// A decoder that isn't ours: LZ32 itself on Windows (Wine), msexpand elsewhere.
Bytes ExpandIndependently(const Bytes& file) {
  const TempFolder folder;
  std::string source = folder.File("data.sz_"), target = folder.File("data.bin");
  testsupport::WriteFileBytes(source, file);
#ifdef _WIN32
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> lz32(LoadLibraryA("lz32.dll"),
                                                                                     &FreeLibrary);
  const auto entry = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(lz32.get(), name)); };
  const auto open = reinterpret_cast<decltype(&LZOpenFileA)>(entry("LZOpenFileA"));
  const auto copy = reinterpret_cast<decltype(&LZCopy)>(entry("LZCopy"));
  const auto close = reinterpret_cast<decltype(&LZClose)>(entry("LZClose"));
  if (!open || !copy || !close) throw std::runtime_error("lz32.dll lacks its functions");
  OFSTRUCT sourceInfo{}, targetInfo{};
  const INT from = open(source.data(), &sourceInfo, OF_READ);
  const INT to = open(target.data(), &targetInfo, OF_CREATE | OF_WRITE);
  const LONG copied = copy(from, to);  // refuses handles that failed to open
  close(from);
  close(to);
  if (copied < 0) throw std::runtime_error("LZ32 failed with " + std::to_string(copied));
#else
  if (std::system(("msexpand < '" + source + "' > '" + target + "'").c_str()) != 0)
    throw std::runtime_error("msexpand failed (scripts/setup installs it)");
#endif
  return testsupport::ReadFileBytes(target);
}

}  // namespace

// Every decoder restores the data, the file holds exactly the items the data
// needs (LZ32 expands the whole stream, whatever the header says), and no
// file is larger than a literal and its flag bit per byte take. A tighter
// bound shows the encoder used what the case is about.
TEST(SzddEncode, EveryDecoderRestoresTheDataAndNoItemFollowsIt) {
  struct Case {
    std::string Name;
    Bytes Data;
    std::size_t MaxFile = SIZE_MAX;
  };
  Bytes blanksAfterData = PseudoRandomBytes(1000, 11, 200);
  const std::size_t randomFile = SzddEncode(blanksAfterData).size();
  blanksAfterData.resize(1018, ' ');  // only the never-written window has 18 blanks in a row
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
  };
  for (const std::size_t distance : {4080u, 4095u, 4096u, 4097u}) {
    // The random block costs about 9/8 of its length; a reachable repeat 100 references.
    const Bytes block = PseudoRandomBytes(distance, static_cast<std::uint32_t>(distance));
    Bytes data = block;
    data.insert(data.end(), block.begin(), block.begin() + 1800);
    cases.push_back({"repeat at " + std::to_string(distance), data,
                     distance < 4096 ? kHeader + distance * 9 / 8 + 260 : SIZE_MAX});
  }
  for (const std::size_t length : {1000u, 4096u, 70000u})
    cases.push_back({"random " + std::to_string(length), PseudoRandomBytes(length, 99)});
  // Lengths around group ends; zeros end inside what could be a longer reference.
  for (std::size_t length = 2; length < 42; ++length) {
    cases.push_back({"short " + std::to_string(length), PseudoRandomBytes(length, 3, 3)});
    cases.push_back({"zeros " + std::to_string(length), Bytes(length, 0)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Bytes file = SzddEncode(c.Data);
    EXPECT_LE(file.size(), std::min(c.MaxFile, kHeader + c.Data.size() + Groups(c.Data.size())));
    EXPECT_EQ(SzddDecode(file), c.Data);
    EXPECT_EQ(ExpandIndependently(file), c.Data);
    const SzddStream stream = SzddExpandWholeStream(file);
    EXPECT_EQ(stream.Bytes, c.Data);
    EXPECT_EQ(stream.FlagBytes, Groups(stream.Literals + stream.References));
    EXPECT_EQ(file.size(), kHeader + stream.FlagBytes + stream.Literals + 2 * stream.References);
  }
}

#ifndef _WIN32  // the build runs the tool on its host, never under Windows
TEST(SzddTool, ConvertsOrExitsWithTwoOnUsageErrorsAndOneOnFailedInputOrOutput) {
  const TempFolder folder;
  const Bytes data = PseudoRandomBytes(50000, 17, 16);
  testsupport::WriteFileBytes(folder.File("in.dll"), data);
  const auto tool = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "szdd";
  const std::tuple<std::string, int, std::string> runs[] = {
      {"in.dll out.dl_", 0, ""},           {"", 2, "Usage: szdd"},
      {"in.dll", 2, "Usage: szdd"},        {"--bogus in.dll x", 2, "Usage: szdd"},
      {"in.dll a b", 2, "Usage: szdd"},    {"missing.dll x.dl_", 1, "cannot read missing.dll"},
      {"in.dll no/out.dl_", 1, "cannot write no/out.dl_"}};
  for (const auto& [arguments, exitCode, message] : runs) {
    // Inside the folder, so that the arguments name files by their plain names.
    const std::string command = "cd '" + folder.Path().string() + "' && '" + tool.string() + "' " + arguments;
    const int status = std::system((command + " >/dev/null 2>err.txt").c_str());
    const Bytes err = testsupport::ReadFileBytes(folder.File("err.txt"));
    const std::string text(err.begin(), err.end());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, exitCode) << arguments;
    EXPECT_TRUE(message.empty() ? text.empty() : text.find(message) != std::string::npos) << arguments << ": " << text;
  }
  EXPECT_EQ(testsupport::ReadFileBytes(folder.File("out.dl_")), SzddEncode(data));
  EXPECT_FALSE(std::filesystem::exists(folder.File("x.dl_")));
}
#endif
