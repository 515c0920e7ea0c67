// What `arcset create` accepts, rejects and writes.
#include <filesystem>

#include "arcset/ArcsetTestSupport.h"

namespace arcsettest {
namespace {

namespace fs = std::filesystem;

class Create : public ArcsetCli {
 protected:
  // Exit status 1 with a message naming `part`, and no volume written.
  void ExpectRejected(const std::vector<std::string>& arguments, const std::string& part,
                      const std::string& folder = "set") {
    const ProcessResult run = Arcset(arguments);
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_NE(run.Err.find(part), std::string::npos) << run.Err;
    EXPECT_EQ(VolumeNames(Path(folder)), std::vector<std::string>{});
  }

  std::vector<std::string> Names() {
    const ProcessResult json = Arcset({"list", "--json", Path("set")});
    std::vector<std::string> names;
    for (std::size_t at = json.Out.find("\"Name\": \""); at != std::string::npos;
         at = json.Out.find("\"Name\": \"", at + 1)) {
      const std::size_t start = at + 9;
      names.push_back(json.Out.substr(start, json.Out.find('"', start) - start));
    }
    return names;
  }
};

TEST_F(Create, InputsKeepTheirOrderAndFoldersAddTheirFilesSorted) {
  fs::create_directory(Path("folder"));
  for (const char* name : {"b.txt", "c.txt", "a.txt"}) WriteInput(Path(std::string("folder/") + name), {'x'});
  WriteInput(Path("z.txt"), {'z'});
  WriteInput(Path("m.txt"), {'m'});
  ASSERT_EQ(Arcset({"create", Path("set"), Path("z.txt"), Path("folder"), Path("m.txt")}).ExitCode, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"z.txt", "a.txt", "b.txt", "c.txt", "m.txt"}));
}

TEST_F(Create, EmptyFolderMakesAnEmptySet) {
  fs::create_directory(Path("folder"));
  ASSERT_EQ(Arcset({"create", "--plain", Path("set"), Path("folder")}).ExitCode, 0);
  EXPECT_EQ(fs::file_size(Path("set/setup0.lib")), 33u);
  EXPECT_EQ(Arcset({"verify", Path("set")}).Out, "OK: 0 files\n");
}

TEST_F(Create, NestedFolderIsRejected) {
  fs::create_directories(Path("folder/inner"));
  WriteInput(Path("folder/a.txt"), {'a'});
  ExpectRejected({"create", Path("set"), Path("folder")}, "archive sets have no folders");
}

TEST_F(Create, NamesTheLoaderWouldRefuseAreRejected) {
  const std::string longName(65, 'n');
  WriteInput(Path(longName), {'x'});
  ExpectRejected({"create", Path("set"), Path(longName)}, "longer than 64 bytes");
  WriteInput(Path(longName.substr(1)), {'x'});  // 64 is fine
  EXPECT_EQ(Arcset({"create", Path("set2"), Path(longName.substr(1))}).ExitCode, 0);
#ifndef _WIN32
  WriteInput(Path("lpt1.txt"), {'x'});
  ExpectRejected({"create", Path("set"), Path("lpt1.txt")}, "Invalid file name in archive: \"lpt1.txt\"");
#endif
}

TEST_F(Create, DuplicateNamesAreRejectedIgnoringCase) {
  fs::create_directory(Path("one"));
  fs::create_directory(Path("two"));
  WriteInput(Path("one/Setup.bin"), {'1'});
  WriteInput(Path("two/setup.BIN"), {'2'});
  ExpectRejected({"create", Path("set"), Path("one"), Path("two")}, "two files named 'Setup.bin' and 'setup.BIN'");
}

TEST_F(Create, UnreadableInputLeavesTheOldSetAlone) {
  WriteInput(Path("a.txt"), {'a'});
  ExpectRejected({"create", Path("set"), Path("a.txt"), Path("missing.txt")}, "missing.txt");
  EXPECT_FALSE(fs::exists(Path("set")));

  ASSERT_EQ(Arcset({"create", Path("set"), Path("a.txt")}).ExitCode, 0);
  const Bytes before = testsupport::ReadFileBytes(Path("set/setup0.lib"));
  const ProcessResult run = Arcset({"create", Path("set"), Path("a.txt"), Path("missing.txt")});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(VolumeNames(Path("set")), std::vector<std::string>{"setup0.lib"});
  EXPECT_EQ(testsupport::ReadFileBytes(Path("set/setup0.lib")), before);
}

TEST_F(Create, PatchMustApplyToTheFileAsTheSetLeavesIt) {
  WriteInput(Path("a.txt"), TextBytes(5000, 1));
  WriteInput(Path("b.txt"), TextBytes(5000, 2));
  WriteInput(Path("c.txt"), TextBytes(5000, 3));
  WriteInput(Path("ro.txt"), TextBytes(5000, 1), 0, true);
  ExpectRejected({"create", "--patch", "x.txt=" + Path("a.txt") + ":" + Path("b.txt"), Path("set"), Path("a.txt")},
                 "no file of that name");
  // The second patch starts from b.txt, not from a.txt.
  ExpectRejected({"create", "--patch", "a.txt=" + Path("a.txt") + ":" + Path("b.txt"), "--patch",
                  "a.txt=" + Path("a.txt") + ":" + Path("c.txt"), Path("set"), Path("a.txt")},
                 "is not the content");
  ExpectRejected({"create", "--patch", "ro.txt=" + Path("ro.txt") + ":" + Path("b.txt"), Path("set"), Path("ro.txt")},
                 "read-only");

  const ProcessResult chain = Arcset({"create", "--patch", "a.txt=" + Path("a.txt") + ":" + Path("b.txt"), "--patch",
                                      "a.txt=" + Path("b.txt") + ":" + Path("c.txt"), Path("set"), Path("a.txt")});
  ASSERT_EQ(chain.ExitCode, 0) << chain.Err;
  ASSERT_EQ(Arcset({"extract", Path("set"), Path("out")}).ExitCode, 0);
  EXPECT_EQ(testsupport::ReadFileBytes(Path("out/a.txt")), TextBytes(5000, 3));
}

TEST_F(Create, ThreadCountDoesNotChangeTheSet) {
  for (int i = 0; i < 6; ++i) {
    const Bytes content = i % 2 == 0 ? TextBytes(60000 + 1000 * i, i) : testsupport::PseudoRandomBytes(9000, i);
    WriteInput(Path("in" + std::to_string(i)), content, i);
  }
  std::vector<std::string> inputs;
  for (int i = 0; i < 6; ++i) inputs.push_back(Path("in" + std::to_string(i)));
  for (const char* threads : {"1", "2"}) {
    std::vector<std::string> arguments{"create", "-j", threads, "--volume-size", "20K", Path(std::string("j") + threads)};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(Arcset(arguments).ExitCode, 0);
  }
  const std::vector<std::string> volumes = VolumeNames(Path("j1"));
  ASSERT_GE(volumes.size(), 3u);
  EXPECT_EQ(VolumeNames(Path("j2")), volumes);
  for (const std::string& volume : volumes)
    EXPECT_EQ(testsupport::ReadFileBytes(Path("j1/" + volume)), testsupport::ReadFileBytes(Path("j2/" + volume))) << volume;
}

TEST_F(Create, FirstVolumeSizeIsItsOwn) {
  WriteInput(Path("a.bin"), testsupport::PseudoRandomBytes(300000, 5));
  ASSERT_EQ(Arcset({"create", "--volume-size", "100K", "--first-volume-size", "150000", Path("set"), Path("a.bin")})
                .ExitCode,
            0);
  EXPECT_EQ(fs::file_size(Path("set/setup0.lib")), 150000u);
  EXPECT_EQ(fs::file_size(Path("set/setup1.lib")), 102400u);
  // The first volume has to hold the header and the directory.
  ExpectRejected({"create", "--volume-size", "100", "--first-volume-size", "100", Path("other"), Path("a.bin")},
                 "the first volume must hold", "other");
}

}  // namespace
}  // namespace arcsettest
