// The code page of a set's names. Names are bytes in the Windows code page
// of the machine that runs the setup loader (its ANSI functions read them
// so); on Linux they are shown and written in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "CodePageTables.h"

namespace arcset {

class CodePage {
 public:
  // 1250, 1251, 1252, 437 or 850; null for any other number.
  static const CodePage* Find(int number);
  // 1252, the code page of the loader's own (German) texts.
  static const CodePage& Default();

  int Number() const { return table_->Number; }
  // Stored bytes as UTF-8; a byte the code page leaves undefined, and with
  // `escapeControls` a control character, as "\xNN".
  std::string ToUtf8(std::string_view stored, bool escapeControls = false) const;
  // UTF-8 text as stored bytes; nothing when the text is no valid UTF-8 or
  // holds a character the code page has no byte for.
  std::optional<std::string> FromUtf8(std::string_view utf8) const;
  // Stored bytes as Windows compares file names: each character by its
  // uppercase; undefined bytes stay apart from every character.
  std::u32string Folded(std::string_view stored) const;

 private:
  explicit CodePage(const CodePageTable& table) : table_(&table) {}

  const CodePageTable* table_;
};

}  // namespace arcset
