// Shared helpers of the loader's tests under Wine: where the built programs
// lie, and the loader's globals set for one test.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "Globals.h"

namespace loadertest {

// The folder of the running test program, where the build puts setup.exe
// and bzip2arc.dll as well.
std::filesystem::path ProgramFolder();

// Sets TempDir for the life of the object and empties it again afterwards.
class TempDirSetting {
 public:
  explicit TempDirSetting(const std::string& folder);
  ~TempDirSetting();
  TempDirSetting(const TempDirSetting&) = delete;
  TempDirSetting& operator=(const TempDirSetting&) = delete;
};

// Creates a file with `text` in it.
void WriteText(const std::filesystem::path& path, const std::string& text = "x");

// A symbolic link (or junction) `link` to the folder `target`: under Wine a
// Unix symbolic link, which Wine shows as a directory reparse point; on
// Windows a directory symbolic link or else a junction. False when neither
// can be made here.
bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes such a link if it is still there (Wine 8 itself cannot).
void RemoveFolderLink(const std::filesystem::path& link);

// Wine 8 shows Unix links to folders as reparse points but cannot remove them.
bool UnderWine();

}  // namespace loadertest
