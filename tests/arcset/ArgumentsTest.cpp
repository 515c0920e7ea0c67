// The command line: what each command takes and the values it accepts.
#include <gtest/gtest.h>

#include "Arguments.h"

namespace arcset {
namespace {

template <class Request>
Request Parsed(const std::vector<std::string>& arguments) {
  return std::get<Request>(ParseArguments(arguments));
}

std::string UsageMessage(const std::vector<std::string>& arguments) {
  try {
    ParseArguments(arguments);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

TEST(Arguments, CreateTakesOptionsAnywhereBeforeDoubleDash) {
  const auto request = Parsed<CreateRequest>({"create", "out", "--volume-size=1M", "a", "-j2", "--patch",
                                              "a=old:new", "--", "--plain"});
  EXPECT_EQ(request.OutputFolder, "out");
  EXPECT_EQ(request.Inputs, (std::vector<std::filesystem::path>{"a", "--plain"}));
  EXPECT_FALSE(request.Plain);
  EXPECT_EQ(request.VolumeSize, 1 << 20);
  EXPECT_EQ(request.Threads, 2u);
  ASSERT_EQ(request.Patches.size(), 1u);
  EXPECT_EQ(request.Patches[0].Name, "a");
  EXPECT_EQ(request.Patches[0].Old, "old");
  EXPECT_EQ(request.Patches[0].New, "new");
}

TEST(Arguments, KeysAreHexBytesWithoutZero) {
  EXPECT_EQ(ParseHexKey("0aFF", "--key", "list"), std::string("\x0a\xff", 2));
  EXPECT_EQ(ParseHexKey(std::string(112, '1'), "--key", "list").size(), 56u);
  EXPECT_NE(UsageMessage({"list", "--key", std::string(114, '1'), "x"}).find("1 to 56 bytes"), std::string::npos);
  EXPECT_NE(UsageMessage({"list", "--key", "1100", "x"}).find("00 byte"), std::string::npos);
  EXPECT_NE(UsageMessage({"list", "--key", "1", "x"}).find("even number"), std::string::npos);
  EXPECT_EQ(Parsed<ListRequest>({"list", "x"}).Key, DefaultKey());
  EXPECT_EQ(DefaultKey().size(), 7u);
}

TEST(Arguments, SizesTakeBinarySuffixes) {
  EXPECT_EQ(ParseSize("1440K", "--volume-size", "create"), 1440 * 1024);
  EXPECT_EQ(ParseSize("2047m", "--volume-size", "create"), std::int64_t{2047} << 20);
  EXPECT_EQ(ParseSize("2147483647", "--volume-size", "create"), INT32_MAX);
  for (const char* bad : {"", "K", "1.5M", "12KB", "-5", "0", "2G", "99999999999"})
    EXPECT_THROW(ParseSize(bad, "--volume-size", "create"), UsageError) << bad;
}

TEST(Arguments, PatchSplitsAtTheFirstColonAfterTheName) {
  const PatchRequest patch = ParsePatch("a=b=c:d:e", "create");
  EXPECT_EQ(patch.Name, "a");
  EXPECT_EQ(patch.Old, "b=c");
  EXPECT_EQ(patch.New, "d:e");
#ifdef _WIN32
  const PatchRequest drives = ParsePatch("a=C:\\old:D:\\new", "create");
  EXPECT_EQ(drives.Old, "C:\\old");
  EXPECT_EQ(drives.New, "D:\\new");
#endif
  for (const char* bad : {"a", "=x:y", "a=x", "a=:y", "a=x:"}) EXPECT_THROW(ParsePatch(bad, "create"), UsageError) << bad;
}

TEST(Arguments, HelpAndVersion) {
  EXPECT_EQ(Parsed<HelpRequest>({"--help"}).Command, "");
  EXPECT_EQ(Parsed<HelpRequest>({"extract", "x", "--help"}).Command, "extract");
  EXPECT_EQ(Parsed<HelpRequest>({"help", "verify"}).Command, "verify");
  EXPECT_TRUE(std::holds_alternative<VersionRequest>(ParseArguments({"--version"})));
}

TEST(Arguments, ExtractDefaultsToTheLibraryPath) {
  const auto request = Parsed<ExtractRequest>({"extract", "disks/setup%d.lib", "dest"});
  EXPECT_EQ(request.Threads, 1u);
  EXPECT_EQ(request.Volumes, "disks/setup%d.lib");
  EXPECT_EQ(request.Destination, "dest");
  EXPECT_EQ(Parsed<ExtractRequest>({"extract", "--jobs", "4", "a", "b"}).Threads, 4u);
}

TEST(Arguments, UsageErrorsPointToTheCommandsHelp) {
  try {
    ParseArguments({"verify", "--json", "x"});
    FAIL();
  } catch (const UsageError& error) {
    EXPECT_EQ(error.Command(), "verify");
    EXPECT_STREQ(error.what(), "unknown option '--json'");
  }
  EXPECT_EQ(UsageMessage({"list", "--json=1", "x"}), "option '--json' takes no value");
  EXPECT_EQ(UsageMessage({"list", "--key"}), "option '--key' needs a value");
}

}  // namespace
}  // namespace arcset
