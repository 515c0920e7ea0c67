#include "LibraryUnpacking.h"

#include "ErrorExits.h"
#include "Globals.h"
#include "LoadedModule.h"
#include "Messages.h"
#include "SystemLibraries.h"
#include "Text.h"

namespace {

// LZ32's functions, looked up at run time: a static import would be resolved
// before the loader could keep the search out of its own folder.
struct LzFunctions {
  INT(WINAPI* Init)(INT file);
  LONG(WINAPI* Copy)(INT source, INT target);
  void(WINAPI* Close)(INT handle);
};

// LZ32 opens a file by name only through an OFSTRUCT, which holds 128
// characters: the loader opens both files itself and hands LZ32 their
// handles, whatever the length of the path.
class LzSource {
 public:
  LzSource(const LzFunctions& lz, const char* path)
      : close_(lz.Close),
        file_(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
        handle_(file_ != INVALID_HANDLE_VALUE ? lz.Init(HandleToLong(file_)) : -1) {}
  ~LzSource() { Close(); }
  LzSource(const LzSource&) = delete;
  LzSource& operator=(const LzSource&) = delete;

  bool Opened() const { return handle_ >= 0; }
  INT Handle() const { return handle_; }
  // LZ32 closes the file with its own handle; one it refused stays ours.
  void Close() {
    if (Opened()) {
      close_(handle_);
    } else if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
    }
    handle_ = -1;
    file_ = INVALID_HANDLE_VALUE;
  }

 private:
  decltype(LzFunctions::Close) close_;
  HANDLE file_;
  INT handle_;
};

class OutputFile {
 public:
  explicit OutputFile(const char* path)
      : handle_(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Opened() const { return handle_ != INVALID_HANDLE_VALUE; }
  // As LZ32 takes a file.
  INT Handle() const { return HandleToLong(handle_); }
  bool WriteAll(const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(handle_, bytes, size, &written, nullptr) && written == size;
  }
  bool Close() {
    const bool closed = Opened() && CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool WriteCompressedCopy(const char* path, const void* bytes, DWORD size) {
  OutputFile file(path);
  if (!file.Opened()) return false;
  const bool written = file.WriteAll(bytes, size);
  return file.Close() && written;
}

// Expands the SZDD file `compressed` into `expanded` with `lz`. False when
// either file cannot be opened or LZ32 takes no more files; nothing stays
// open then. Whether the expansion itself succeeds is not looked at.
bool ExpandCompressedCopy(const LzFunctions& lz, const char* compressed, const char* expanded) {
  LzSource source(lz, compressed);
  if (!source.Opened()) return false;
  // A failure here closes the source first, so the clean-up can delete it.
  OutputFile target(expanded);
  if (!target.Opened()) return false;
  // A failed expansion shows when the library is loaded.
  lz.Copy(source.Handle(), target.Handle());
  source.Close();
  target.Close();
  return true;
}

bool Expand(const char* compressed, const char* expanded) {
  const LoadedModule lz32(LoadSystemLibrary("lz32.dll"));
  const LzFunctions lz{lz32.Find<decltype(LzFunctions::Init)>("LZInit"),
                       lz32.Find<decltype(LzFunctions::Copy)>("LZCopy"),
                       lz32.Find<decltype(LzFunctions::Close)>("LZClose")};
  if (lz.Init == nullptr || lz.Copy == nullptr || lz.Close == nullptr) return false;
  return ExpandCompressedCopy(lz, compressed, expanded);
}

}  // namespace

bool ExpandLibrary(HMODULE module, const char* folder) {
  // All four calls first; each copes with what the one before gave.
  const HRSRC resource = FindResourceA(module, "BZIP2ARC", MAKEINTRESOURCEA(10));  // RT_RCDATA
  const HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void* const bytes = LockResource(loaded);
  if (resource == nullptr || loaded == nullptr || size == 0 || bytes == nullptr) return false;

  char compressed[kPathCapacity];
  char expanded[kPathCapacity];
  if (!JoinText(compressed, sizeof compressed, folder, "\\bzip2arc.dl_") ||
      !JoinText(expanded, sizeof expanded, folder, "\\bzip2arc.dll")) {
    return false;
  }
  if (!WriteCompressedCopy(compressed, bytes, size) || !Expand(compressed, expanded)) return false;
  DeleteFileA(compressed);
  return true;
}

void UnpackLibrary() {
  if (!ExpandLibrary(GetModuleHandleA(nullptr), TempDir)) InitErrorExit(kLibraryNotExtracted);
}
