// Paths the system reports in UTF-16, turned into what the "A" functions
// take: exactly, or through the short 8.3 form, or refused with the reason.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>

#include "AnsiPath.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

struct Converted {
  PathProblem Problem;
  std::string Text;
  bool operator==(const Converted&) const = default;
};
void PrintTo(const Converted& converted, std::ostream* out) {
  *out << static_cast<int>(converted.Problem) << " \"" << converted.Text << '"';
}

template <class Conversion>
Converted Convert(Conversion convert, const std::wstring& path, std::size_t capacity = MAX_PATH) {
  char text[MAX_PATH] = "unchanged";
  const PathProblem problem = convert(path.c_str(), text, capacity);
  return {problem, text};
}

}  // namespace

TEST(AnsiPathTest, ToAnsiTakesOnlyWhatConvertsBackUnchanged) {
  if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252";
  const std::pair<std::wstring, Converted> cases[] = {
      {L"C:\\Temp", {PathProblem::None, "C:\\Temp"}},
      {L"C:\\Caf\u00e9", {PathProblem::None, "C:\\Caf\xE9"}},
      {L"C:\\\u0141\u00f3d\u017a", {PathProblem::NotRepresentable, ""}},  // best fit would make it "Lodz"
      {L"C:\\\u0434\u0430", {PathProblem::NotRepresentable, ""}},
      {L"C:\\" + std::wstring(MAX_PATH, L'x'), {PathProblem::TooLong, ""}},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Convert(ToAnsi, path), expected) << fs::path(path).string();
  EXPECT_EQ(Convert(ToAnsi, L"C:\\abc", 7), (Converted{PathProblem::None, "C:\\abc"}));
  EXPECT_EQ(Convert(ToAnsi, L"C:\\abcd", 7), (Converted{PathProblem::TooLong, ""}));
}

// A medium deep in a folder tree, or in a folder named in another script.
TEST(AnsiPathTest, APathThatDoesNotFitIsTakenInItsShortForm) {
  const testsupport::TempFolder temp;
  fs::path deep = temp.Path(), flat = temp.Path();
  for (int i = 0; i < 6; ++i) deep /= "Folder name longer than 8.3 allows #" + std::to_string(i);
  for (int i = 0; deep.wstring().size() > flat.wstring().size(); ++i) flat /= "d" + std::to_string(1000000 + i);
  const fs::path foreign = temp.Path() / L"\u0434\u0430\u043d\u043d\u044b\u0435";
  for (const fs::path& folder : {deep, flat, foreign}) fs::create_directories(folder);
  ASSERT_GT(deep.wstring().size(), std::size_t{MAX_PATH});

  for (const fs::path& folder : {deep, foreign}) {
    const Converted converted = Convert(AnsiPath, folder.wstring());
    ASSERT_EQ(converted.Problem, PathProblem::None) << converted.Text;
    wchar_t shortForm[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(folder.wstring().c_str(), shortForm, MAX_PATH), 0u);
    EXPECT_EQ(converted.Text, fs::path(shortForm).string());
    EXPECT_NE(GetFileAttributesA(converted.Text.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  // 8.3 names all the way: the short form is no shorter.
  EXPECT_EQ(Convert(AnsiPath, flat.wstring()), (Converted{PathProblem::TooLong, ""}));
  // No short form of what does not exist: the long form's problem.
  EXPECT_EQ(Convert(AnsiPath, (foreign / L"\u0434").wstring()), (Converted{PathProblem::NotRepresentable, ""}));
  EXPECT_EQ(Convert(ShortAnsiPath, (temp.Path() / "missing").wstring()), (Converted{PathProblem::Unavailable, ""}));
}

TEST(AnsiPathTest, TheExtendedPrefixGoes) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"\\\\?\\C:\\Media", L"C:\\Media"},
      {L"\\\\?\\UNC\\server\\share\\Media", L"\\\\server\\share\\Media"},
      {L"C:\\Media", L"C:\\Media"},
      {L"\\\\server\\share", L"\\\\server\\share"},
  };
  for (auto [path, expected] : cases) EXPECT_EQ(std::wstring(WithoutExtendedPrefix(path.data())), expected);
}
