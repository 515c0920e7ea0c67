// The code pages of names: every byte a page defines survives the trip to
// UTF-8 and back, undefined bytes are escaped, and case folds as on Windows.
#include <gtest/gtest.h>

#include "CodePage.h"

namespace arcsettest {
namespace {

TEST(CodePage, DefinedBytesRoundTripAndUndefinedOnesAreEscaped) {
  for (const int number : {1252, 1250, 1251, 437, 850}) {
    SCOPED_TRACE(number);
    const arcset::CodePage* page = arcset::CodePage::Find(number);
    ASSERT_NE(page, nullptr);
    for (int byte = 1; byte < 256; ++byte) {
      const std::string stored(1, static_cast<char>(byte));
      const std::string utf8 = page->ToUtf8(stored);
      if (utf8.size() == 4 && utf8.rfind("\\x", 0) == 0) continue;  // undefined here
      EXPECT_EQ(page->FromUtf8(utf8), stored) << byte;
    }
  }
  EXPECT_EQ(arcset::CodePage::Default().ToUtf8("a\x81"), "a\\x81");
  EXPECT_EQ(arcset::CodePage::Default().ToUtf8("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");  // euro sign, e acute
  EXPECT_EQ(arcset::CodePage::Default().ToUtf8("\t", true), "\\x09");
  EXPECT_EQ(arcset::CodePage::Find(1252)->FromUtf8("\xD0\x96"), std::nullopt);  // Cyrillic Zhe
  EXPECT_EQ(arcset::CodePage::Find(1252)->FromUtf8("\xC3"), std::nullopt);      // cut short
  EXPECT_EQ(arcset::CodePage::Find(1251)->FromUtf8("\xD0\x96"), std::string("\xC6"));
  EXPECT_EQ(arcset::CodePage::Find(65001), nullptr);
}

TEST(CodePage, CaseFoldsAsWindowsComparesNames) {
  const arcset::CodePage& latin = arcset::CodePage::Default();
  EXPECT_EQ(latin.Folded("\xE9t\xE9.txt"), latin.Folded("\xC9T\xC9.TXT"));  // ete, ETE
  EXPECT_NE(latin.Folded("stra\xDF" "e"), latin.Folded("STRASSE"));        // no expansion
  EXPECT_NE(latin.Folded("a\x81"), latin.Folded("a\x8D"));                  // undefined bytes stay apart
  const arcset::CodePage& cyrillic = *arcset::CodePage::Find(1251);
  EXPECT_EQ(cyrillic.Folded("\xE0"), cyrillic.Folded("\xC0"));  // a, A
}

}  // namespace
}  // namespace arcsettest
