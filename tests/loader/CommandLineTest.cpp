// The command line of the main setup program and the splitting of the
// loader's own arguments. Pure text work: runs natively and under Wine. (The
// loader's own folder in it is checked by the end-to-end case normal_run.)
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CommandLine.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>
#endif

namespace {

using Arguments = std::vector<std::string>;

Arguments Split(const std::string& text) {
  Arguments arguments;
  char argument[1024];
  std::size_t length = 0;
  for (const char* rest = NextArgument(text.c_str(), argument, sizeof argument, length); rest != nullptr;
       rest = NextArgument(rest, argument, sizeof argument, length))
    arguments.emplace_back(argument);
  return arguments;
}

}  // namespace

TEST(CommandLineTest, ThreeQuotedValuesThenEachArgumentQuotedAgain) {
  const std::string head = "\"C:\\TEMP\\CV0\\Setup.bin\" \"C:\\TEMP\\CV0\" \"D:\" ";
  const std::string longArgument(300, 'q');
  const std::pair<std::string, std::string> cases[] = {
      {"D:\\setup.exe /x \"a b\"", " \"/x\" \"a b\""},  // two blanks before the first argument
      {"D:\\setup.exe", ""},                            // ends in one blank
      {"\"D:\\My Disk\\setup.exe\" \t ", ""},           // a quoted program name is skipped whole
      {"setup \"\"pair \"with blank\"", " \"pair\" \"with blank\""},
      {"setup " + longArgument, " \"" + longArgument + "\""},  // longer than 259: passed whole
      // Backslashes before a closing quote are doubled; others stay as they are.
      {"setup /dir=C:\\Apps\\ /silent", " \"/dir=C:\\Apps\\\\\" \"/silent\""},
      {"setup \"C:\\My Apps\\\\\" \\\\server\\share\\ a\\b", " \"C:\\My Apps\\\\\\\\\" \"\\\\server\\share\\\\\" \"a\\b\""},
  };
  for (const auto& [loaderCommandLine, passedOn] : cases) {
    char commandLine[4096];
    EXPECT_TRUE(BuildCommandLine("C:\\TEMP\\CV0", "D:", loaderCommandLine.c_str(), commandLine, sizeof commandLine));
    EXPECT_EQ(commandLine, head + passedOn) << loaderCommandLine;
  }
}

#ifdef _WIN32
// What Setup.bin gets when it splits its line by the platform's rules: its
// path, the two folders and every argument as the loader split its own.
TEST(CommandLineTest, CommandLineToArgvWGivesBackEveryValue) {
  const auto Wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };  // ASCII only
  for (const std::string arguments : {"", "/dir=C:\\Apps\\ /silent", "\"C:\\My Apps\\\\\" \"\\\\\" x\\\\\\",
                                      "\"\"pair \"with blank\" tab\tseparated"}) {
    for (const char* loaderDir : {"D:", "\\\\server\\share", "D:\\Disk 1"}) {
      char commandLine[4096];
      ASSERT_TRUE(BuildCommandLine("C:\\TEMP\\CV0", loaderDir, ("setup.exe " + arguments).c_str(), commandLine,
                                   sizeof commandLine));
      Arguments expected = {"C:\\TEMP\\CV0\\Setup.bin", "C:\\TEMP\\CV0", loaderDir};
      for (const std::string& argument : Split(arguments)) expected.push_back(argument);
      int count = 0;
      wchar_t** split = CommandLineToArgvW(Wide(commandLine).c_str(), &count);
      ASSERT_NE(split, nullptr);
      Arguments got;
      for (int i = 0; i < count; ++i) got.push_back(std::string(split[i], split[i] + std::wcslen(split[i])));
      LocalFree(split);
      EXPECT_EQ(got, expected) << commandLine;
    }
  }
}
#endif

TEST(CommandLineTest, ACommandLineThatDoesNotFitIsRefused) {
  const std::string fits = "\"T\\Setup.bin\" \"T\" \"L\"  \"abc\"";
  std::vector<char> buffer(fits.size() + 1);
  EXPECT_TRUE(BuildCommandLine("T", "L", "setup abc", buffer.data(), buffer.size()));
  EXPECT_EQ(buffer.data(), fits);
  EXPECT_FALSE(BuildCommandLine("T", "L", "setup abcd", buffer.data(), buffer.size()));
  EXPECT_FALSE(BuildCommandLine("T", "L", "setup abc x", buffer.data(), buffer.size()));
}

TEST(ArgumentSplittingTest, SplitsAsTheLoaderReadsItsOwnCommandLine) {
  const std::pair<std::string, Arguments> cases[] = {
      {"  a\tb  ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"pre\"fix suf\"fix", {"prefix suffix"}},
      {"\"a\"\"b\"", {"ab"}},
      {"\"open to the end", {"open to the end"}},
      {"\"\"x \"\"\"\"  y", {"x", "y"}},  // pairs of quotes in front of an argument are skipped
      {"a \"\"", {"a"}},
      {"a \"", {"a"}},  // a lone quote at the end is no argument
      {"caf\xE9 \x7F", {"caf\xE9", "\x7F"}},
      {"", {}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Split(text), expected) << text;
  for (char separator = 1; separator <= 32; ++separator)
    EXPECT_EQ(Split(std::string("a") + separator + "b"), (Arguments{"a", "b"})) << int{separator};
}
