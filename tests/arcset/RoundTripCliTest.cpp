// create, then list / verify / extract of what it wrote, through the program.
#include <filesystem>

#include "arcset/ArcsetTestSupport.h"

namespace arcsettest {
namespace {

namespace fs = std::filesystem;

class RoundTrip : public ArcsetCli {
 protected:
  // Three inputs of different kinds in folder "in", one of them read-only.
  void SetUp() override {
    ArcsetCli::SetUp();
    if (IsSkipped()) return;
    fs::create_directory(Path("in"));
    WriteInput(Path("in/readme.txt"), TextBytes(150000, 1), 0);
    WriteInput(Path("in/data.bin"), testsupport::PseudoRandomBytes(120000, 2), 3);
    WriteInput(Path("in/empty.dat"), {}, 6, true);
  }

  void ExpectExtractsToInputs(const std::vector<std::string>& keyOptions) {
    for (const char* threads : {"1", "2"}) {
      const std::string destination = Path(std::string("out-j") + threads);
      std::vector<std::string> arguments{"extract", "-j", threads};
      arguments.insert(arguments.end(), keyOptions.begin(), keyOptions.end());
      arguments.insert(arguments.end(), {Path("set"), destination});
      const ProcessResult extract = Arcset(arguments);
      ASSERT_EQ(extract.ExitCode, 0) << extract.Err;
      EXPECT_EQ(extract.Err, "") << "no progress bar without a terminal";
      EXPECT_EQ(TakeSnapshot(destination), TakeSnapshot(Path("in"))) << "-j " << threads;
    }
  }
};

TEST_F(RoundTrip, PlainSetListsVerifiesAndExtracts) {
  const ProcessResult create = Arcset({"create", "--plain", Path("set"), Path("in")});
  ASSERT_EQ(create.ExitCode, 0) << create.Err;
  EXPECT_EQ(VolumeNames(Path("set")), std::vector<std::string>{"setup0.lib"});

  const ProcessResult list = Arcset({"list", Path("set")});
  EXPECT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("Directory: plain, 3 records"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("2021-06-15 10:06:30  R--A"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("readme.txt      150000"), std::string::npos) << list.Out;

  const ProcessResult verify = Arcset({"verify", Path("set")});
  EXPECT_EQ(verify.ExitCode, 0) << verify.Err;
  EXPECT_EQ(verify.Out, "OK: 3 files\n");
  ExpectExtractsToInputs({});
}

TEST_F(RoundTrip, DefaultKeyEnciphersTheDirectory) {
  ASSERT_EQ(Arcset({"create", Path("set"), Path("in")}).ExitCode, 0);
  const ProcessResult json = Arcset({"list", "--json", Path("set")});
  EXPECT_EQ(json.ExitCode, 0) << json.Err;
  EXPECT_NE(json.Out.find("\"Encrypted\": 1,"), std::string::npos) << json.Out;
  // Folder contents come sorted by name.
  const std::size_t data = json.Out.find("\"Name\": \"data.bin\"");
  const std::size_t empty = json.Out.find("\"Name\": \"empty.dat\"");
  const std::size_t readme = json.Out.find("\"Name\": \"readme.txt\", \"Size\": 150000");
  ASSERT_NE(readme, std::string::npos) << json.Out;
  EXPECT_LT(data, empty);
  EXPECT_LT(empty, readme);
  EXPECT_NE(json.Out.find("\"Attributes\": 33, \"AttributeLetters\": \"R--A\""), std::string::npos);
  ExpectExtractsToInputs({});
}

TEST_F(RoundTrip, OwnKeyIsNeededToReadTheSet) {
  const std::string key = "0a112233445566778899aabbccddeeff";
  EXPECT_EQ(Arcset({"create", "--key", key, Path("set"), Path("in")}).ExitCode, 0);
  EXPECT_EQ(Arcset({"verify", "--key", key, Path("set")}).Out, "OK: 3 files\n");
  ExpectExtractsToInputs({"--key", key});

  const ProcessResult wrongKey = Arcset({"extract", Path("set"), Path("wrong")});
  EXPECT_EQ(wrongKey.ExitCode, 1);
  EXPECT_EQ(wrongKey.Err.rfind("arcset: ", 0), 0u) << wrongKey.Err;
}

TEST_F(RoundTrip, StreamsRunOverSeveralVolumes) {
  WriteInput(Path("in/big.bin"), testsupport::PseudoRandomBytes(200000, 7), 9);
  const ProcessResult create = Arcset({"create", "--volume-size", "64K", Path("set"), Path("in")});
  ASSERT_EQ(create.ExitCode, 0) << create.Err;
  EXPECT_EQ(fs::file_size(Path("set/setup0.lib")), 65536u);
  EXPECT_EQ(fs::file_size(Path("set/setup1.lib")), 65536u);

  const ProcessResult json = Arcset({"list", "--json", Path("set")});
  // big.bin comes first (sorted) and spans volumes 0 to 3.
  EXPECT_NE(json.Out.find("\"Name\": \"big.bin\""), std::string::npos);
  EXPECT_NE(json.Out.find("\"Volume\": 0, \"LastVolume\": 3}"), std::string::npos) << json.Out;
  EXPECT_EQ(Arcset({"verify", Path("set/setup%d.lib")}).Out, "OK: 4 files\n");
  ExpectExtractsToInputs({});
}

TEST_F(RoundTrip, PatchRecordTurnsAnEarlierFileIntoTheNewOne) {
  Bytes changed = TextBytes(150000, 1);
  changed.insert(changed.begin() + 70000, {'n', 'e', 'w'});
  WriteInput(Path("readme-v2.txt"), changed, 30);
  const ProcessResult create =
      Arcset({"create", "--patch", "readme.txt=" + Path("in/readme.txt") + ":" + Path("readme-v2.txt"),
              Path("set"), Path("in")});
  ASSERT_EQ(create.ExitCode, 0) << create.Err;

  const ProcessResult list = Arcset({"list", Path("set")});
  EXPECT_NE(list.Out.find("patch  2021-06-15 10:30:30"), std::string::npos) << list.Out;
  EXPECT_EQ(Arcset({"verify", Path("set")}).Out, "OK: 4 files\n");

  WriteInput(Path("in/readme.txt"), changed, 30);  // what extraction must give
  ExpectExtractsToInputs({});
}

#ifndef _WIN32
// Names are bytes; JSON shows the ones outside ASCII by value.
TEST_F(RoundTrip, JsonEscapesEightBitNames) {
  WriteInput(Path("in/caf\xe9 \"1\".txt"), {'x'});
  ASSERT_EQ(Arcset({"create", Path("set"), Path("in")}).ExitCode, 0);
  const ProcessResult json = Arcset({"list", "--json", Path("set")});
  EXPECT_NE(json.Out.find("\"Name\": \"caf\\u00e9 \\\"1\\\".txt\""), std::string::npos) << json.Out;
}
#endif

}  // namespace
}  // namespace arcsettest
