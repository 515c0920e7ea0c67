// The few file-system calls that differ between Windows and POSIX. Each OS has
// one implementation file (PlatformWin32.cpp, PlatformPosix.cpp), which also
// holds TFileStream's opening, reading, writing and seeking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Error.h"
#include "Stream.h"

namespace bzip2arc::platform {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
// What ends the folder part of a path.
constexpr std::string_view kFolderDelimiters = "\\:";
// MAX_PATH, the terminating zero included.
constexpr std::size_t kMaxPath = 260;
#else
constexpr char kPathSeparator = '/';
constexpr std::string_view kFolderDelimiters = "/";
constexpr std::size_t kMaxPath = 4096;
#endif

using PathText = FixedText<kMaxPath>;

// Closes a handle of TFileStream; failures are ignored.
void CloseFile(FileHandle handle);

// TFileStream could not open or create `fileName` ("Cannot open file ...",
// EFOpenError; "Cannot create file ...", EStreamError).
[[noreturn]] void RaiseFileError(FileMode mode, const char* fileName);

// Windows makes "C:\" the current folder before touching archive files, so
// that no folder of the caller's stays in use; POSIX has no such need.
void EnterRootFolder();

// True when `path` names an existing file that is not a directory.
bool FileExists(const char* path);

// Copies `from` to `to`, replacing `to`. Returns false on failure.
bool DuplicateFile(const char* from, const char* to);

// Deletes a file. Returns false on failure.
bool RemoveFile(const char* path);

// Gives `path` the archive's attribute flags (read-only 0x01, hidden 0x02,
// system 0x04, archive 0x20, ...). On POSIX only the read-only bit counts: it
// takes away every write permission. Failures are ignored.
void ApplyAttributes(const char* path, std::uint32_t attributes);

// Sets the last-write time of an open file from a packed MS-DOS date (high 16
// bits) and time (low 16 bits) in local time. Returns false, changing
// nothing, when the value is not a valid MS-DOS time stamp or a call fails.
bool StampLastWriteTime(TFileStream& file, std::uint32_t dosDateTime);

// The system temporary folder (GetTempPathA on Windows, $TMPDIR or /tmp on
// POSIX), ending with a separator: where the exported functions keep their
// work file "bzin.tmp".
PathText TemporaryFolder();

}  // namespace bzip2arc::platform
