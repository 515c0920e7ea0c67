// Files replaced whole in a folder: the platform's side of OutputMode::Replace.
// Not part of bzip2arc.dll, which writes in place.
#pragma once

#include <cstdint>
#include <string_view>

#include "Platform.h"

namespace bzip2arc::platform {

// The error code of the last failed system call (errno, GetLastError()).
int LastSystemError();

// Gives an open file the archive's attribute flags, as ApplyAttributes does
// by name. Returns false when the system refuses.
bool ApplyAttributes(TFileStream& file, std::uint32_t attributes);

// A folder in which files are replaced whole: a new file is written under a
// unique name beside the old one and renamed over it when complete. Every
// name is taken as the folder's own entry: a link found there is replaced,
// never followed. On POSIX the folder is held open, so that it stays the
// same folder while its files are written.
class OutputFolder {
 public:
  // `folder`: a path up to and including its last folder delimiter, or empty
  // for the current folder. Check IsOpen.
  explicit OutputFolder(std::string_view folder);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  bool IsOpen() const { return open_; }

  // Creates a new file for writing, named ".NAME.arcset-XXXXXX" after
  // `name` with six random letters or digits, which a killed process may
  // leave behind. Returns false (LastSystemError says why) when no such
  // file could be created; `uniqueName` then holds nothing useful.
  bool CreateUnique(std::string_view name, FileHandle& file, TextBuffer& uniqueName);
  // Opens the regular file `name` for reading. False when it cannot be
  // opened (`systemError` says why) or is no regular file (`systemError` 0:
  // a link, a folder, a pipe or a device).
  bool OpenRegular(std::string_view name, FileHandle& file, int& systemError);
  // Renames `from` over `to`, whatever `to` was. False on failure.
  bool Replace(std::string_view from, std::string_view to);
  // Deletes the file `name` (a read-only one too). False on failure.
  bool Remove(std::string_view name);

 private:
  bool open_ = false;
#ifdef _WIN32
  PathText path_;
#else
  int handle_ = -1;
#endif
};

}  // namespace bzip2arc::platform
