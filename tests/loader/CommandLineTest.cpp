// The command line of the main setup program and the splitting of the
// loader's own arguments. Pure text work: runs natively and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> arguments;
  char argument[1024];
  std::size_t length = 0;
  for (const char* rest = NextArgument(text.c_str(), argument, sizeof argument, length); rest != nullptr;
       rest = NextArgument(rest, argument, sizeof argument, length)) {
    EXPECT_EQ(std::string(argument).size(), length);
    arguments.emplace_back(argument);
  }
  return arguments;
}

using Arguments = std::vector<std::string>;

std::string Build(const std::string& tempDir, const std::string& loaderDir, const std::string& loaderCommandLine) {
  char commandLine[4096];
  EXPECT_TRUE(BuildCommandLine(tempDir.c_str(), loaderDir.c_str(), loaderCommandLine.c_str(), commandLine,
                               sizeof commandLine));
  return commandLine;
}

std::string LoaderFolder(const std::string& modulePath) {
  char folder[300];
  EXPECT_TRUE(LoaderFolderOf(modulePath.c_str(), folder, sizeof folder));
  return folder;
}

}  // namespace

TEST(CommandLineTest, WorkedExampleFromTheRootOfADrive) {
  const std::string loaderDir = LoaderFolder("D:\\setup.exe");
  EXPECT_EQ(loaderDir, "D:");
  EXPECT_EQ(Build("C:\\TEMP\\CV0", loaderDir, "D:\\setup.exe /x \"a b\""),
            "\"C:\\TEMP\\CV0\\Setup.bin\" \"C:\\TEMP\\CV0\" \"D:\"  \"/x\" \"a b\"");
}

TEST(CommandLineTest, WithoutArgumentsItEndsInOneBlank) {
  EXPECT_EQ(Build("C:\\T\\CV3", "E:\\Disk 1", "\"E:\\Disk 1\\setup.exe\""),
            "\"C:\\T\\CV3\\Setup.bin\" \"C:\\T\\CV3\" \"E:\\Disk 1\" ");
  EXPECT_EQ(Build("C:\\T\\CV3", "E:", "setup.exe   \t "), "\"C:\\T\\CV3\\Setup.bin\" \"C:\\T\\CV3\" \"E:\" ");
}

TEST(CommandLineTest, ProgramNameWithBlanksInQuotesIsSkippedWhole) {
  EXPECT_EQ(Build("C:\\T", "C:\\My Disk", "\"C:\\My Disk\\setup.exe\" -a"),
            "\"C:\\T\\Setup.bin\" \"C:\\T\" \"C:\\My Disk\"  \"-a\"");
}

TEST(CommandLineTest, LoaderFolderIsEverythingBeforeTheLastBackslash) {
  EXPECT_EQ(LoaderFolder("C:\\Program Files\\Corvane\\setup.exe"), "C:\\Program Files\\Corvane");
  EXPECT_EQ(LoaderFolder("\\\\server\\share\\setup.exe"), "\\\\server\\share");
  EXPECT_EQ(LoaderFolder("setup.exe"), "");
  EXPECT_EQ(LoaderFolder("\\setup.exe"), "");  // the first character is never examined
  EXPECT_EQ(LoaderFolder(""), "");
  char small[3];
  EXPECT_FALSE(LoaderFolderOf("C:\\dir\\setup.exe", small, sizeof small));
}

TEST(ArgumentSplittingTest, BlanksAndControlCharactersSeparate) {
  EXPECT_EQ(Split("a b\tc\nd\x01" "e\x1F" "f"), (Arguments{"a", "b", "c", "d", "e", "f"}));
  EXPECT_EQ(Split("  lead   trail  "), (Arguments{"lead", "trail"}));
  EXPECT_EQ(Split(""), Arguments{});
  EXPECT_EQ(Split(" \t "), Arguments{});
}

TEST(ArgumentSplittingTest, BytesAboveTheBlankBelongToTheArgument) {
  EXPECT_EQ(Split("caf\xE9 !x \x7F"), (Arguments{"caf\xE9", "!x", "\x7F"}));
}

TEST(ArgumentSplittingTest, QuotedPartsMayHoldBlanksAndLoseTheirQuotes) {
  EXPECT_EQ(Split("\"a b\" c"), (Arguments{"a b", "c"}));
  EXPECT_EQ(Split("pre\"fix suf\"fix next"), (Arguments{"prefix suffix", "next"}));
  EXPECT_EQ(Split("\"a\"\"b\""), (Arguments{"ab"}));
  EXPECT_EQ(Split("\"open to the end"), (Arguments{"open to the end"}));
}

TEST(ArgumentSplittingTest, PairsOfQuotesInFrontOfAnArgumentAreSkipped) {
  EXPECT_EQ(Split("\"\"x"), (Arguments{"x"}));
  EXPECT_EQ(Split("\"\" \"\"\"\"  y z"), (Arguments{"y", "z"}));
  EXPECT_EQ(Split("a \"\""), (Arguments{"a"}));
  EXPECT_EQ(Split("a \""), (Arguments{"a"}));  // a lone quote at the end is no argument
}

TEST(ArgumentSplittingTest, ArgumentsAreCutOnlyInTheCopyNotInTheirLength) {
  char small[4];
  std::size_t length = 0;
  const char* rest = NextArgument("abcdefg h", small, sizeof small, length);
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(length, 7u);
  EXPECT_STREQ(small, "abc");
  EXPECT_STREQ(rest, " h");
}

TEST(CommandLineTest, PassedOnArgumentsAreEachQuoted) {
  EXPECT_EQ(Build("T", "L", "setup \"with blank\" \"\"pair plain"),
            "\"T\\Setup.bin\" \"T\" \"L\"  \"with blank\" \"pair\" \"plain\"");
}

TEST(CommandLineTest, ArgumentsLongerThan259CharactersArePassedWhole) {
  const std::string longArgument(300, 'q');
  const std::string quotedWithBlanks = std::string(150, 'a') + " " + std::string(150, 'b');
  EXPECT_EQ(Build("T", "L", "setup " + longArgument + " \"" + quotedWithBlanks + "\""),
            "\"T\\Setup.bin\" \"T\" \"L\"  \"" + longArgument + "\" \"" + quotedWithBlanks + "\"");
}

TEST(CommandLineTest, ACommandLineThatDoesNotFitIsRefused) {
  const std::string head = "\"T\\Setup.bin\" \"T\" \"L\" ";
  // Exactly the room of head + ' "abc"' and the terminator.
  std::vector<char> buffer(head.size() + 6 + 1);
  EXPECT_TRUE(BuildCommandLine("T", "L", "setup abc", buffer.data(), buffer.size()));
  EXPECT_EQ(std::string(buffer.data()), head + " \"abc\"");
  EXPECT_FALSE(BuildCommandLine("T", "L", "setup abcd", buffer.data(), buffer.size()));
  EXPECT_FALSE(BuildCommandLine("T", "L", "setup abc x", buffer.data(), buffer.size()));
  std::vector<char> tiny(head.size());
  EXPECT_FALSE(BuildCommandLine("T", "L", "setup", tiny.data(), tiny.size()));
}
