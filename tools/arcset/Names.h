// How names travel between this system's files and a set. On Linux a set's
// names are bytes of its code page and file names are UTF-8 (or the
// locale's encoding when create reads them); on Windows both are the
// system's ANSI code page, as the loader's ANSI functions take them, and
// bytes pass as they are.
#pragma once

#include <string>
#include <string_view>

#include "CodePage.h"
#include "archive/core/ExtractionHooks.h"

namespace arcset {

class Names final : public bzip2arc::FileNames {
 public:
  explicit Names(const CodePage& codePage) : codePage_(codePage) {}

  // The name of a file to add, as the set stores it. Raises
  // std::runtime_error when the code page has no bytes for it.
  std::string Stored(const std::string& fileName) const;
  // A stored name as the name of the file extract writes: UTF-8, bytes the
  // code page leaves undefined as "\xNN".
  std::string FileName(std::string_view stored) const;
  // A stored name for people: as FileName, control characters as "\xNN" too.
  std::string Shown(std::string_view stored) const;
  // Stored names that Windows takes for the same file fold alike.
  std::u32string Folded(std::string_view stored) const { return codePage_.Folded(stored); }

  const CodePage& Page() const { return codePage_; }

  // bzip2arc::FileNames: FileName for the library's extraction.
  void Append(std::string_view stored, bzip2arc::TextBuffer& path) const override;

 private:
  const CodePage& codePage_;
};

}  // namespace arcset
