#include "CodePage.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace arcset {

namespace {

void AppendUtf8(char32_t c, std::string& text) {
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | (c >> 6));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (c >> 18));
    text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The next character of UTF-8 `text` at `at`, which moves past it; nothing
// for a malformed, overlong or surrogate sequence.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (at + length > text.size()) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = c << 6 | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  at += length;
  return c;
}

char32_t Uppercase(char32_t c) {
  const CaseFold* end = kUppercase + kUppercaseCount;
  const CaseFold* found = std::lower_bound(kUppercase, end, c,
                                      [](const CaseFold& fold, char32_t value) { return fold.Lower < value; });
  return found != end && found->Lower == c ? found->Upper : c;
}

}  // namespace

const CodePage* CodePage::Find(int number) {
  static const CodePage pages[] = {CodePage(kCodePageTables[0]), CodePage(kCodePageTables[1]),
                                   CodePage(kCodePageTables[2]), CodePage(kCodePageTables[3]),
                                   CodePage(kCodePageTables[4])};
  for (const CodePage& page : pages) {
    if (page.Number() == number) return &page;
  }
  return nullptr;
}

const CodePage& CodePage::Default() { return *Find(1252); }

std::string CodePage::ToUtf8(std::string_view stored, bool escapeControls) const {
  std::string text;
  for (const char byte : stored) {
    const auto value = static_cast<unsigned char>(byte);
    const char32_t c = table_->Characters[value];
    if (c == kUndefinedCharacter || (escapeControls && (c < 0x20 || (c >= 0x7F && c < 0xA0)))) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", value);
      text += escape;
    } else {
      AppendUtf8(c, text);
    }
  }
  return text;
}

std::optional<std::string> CodePage::FromUtf8(std::string_view utf8) const {
  std::string stored;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::optional<char32_t> c = NextUtf8(utf8, at);
    if (!c) return std::nullopt;
    const char32_t* begin = std::begin(table_->Characters);
    const char32_t* found = std::find(begin, std::end(table_->Characters), *c);
    if (found == std::end(table_->Characters) || *c == kUndefinedCharacter) return std::nullopt;
    stored += static_cast<char>(found - begin);
  }
  return stored;
}

std::u32string CodePage::Folded(std::string_view stored) const {
  std::u32string folded;
  for (const char byte : stored) {
    const auto value = static_cast<unsigned char>(byte);
    const char32_t c = table_->Characters[value];
    // Past Unicode: no character folds onto an undefined byte.
    folded += c == kUndefinedCharacter ? static_cast<char32_t>(0x110000 + value) : Uppercase(c);
  }
  return folded;
}

}  // namespace arcset
