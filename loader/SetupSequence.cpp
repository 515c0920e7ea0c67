#include "SetupSequence.h"

#include "AnsiPath.h"
#include "CommandLine.h"
#include "ErrorExits.h"
#include "ExtractionCallbacks.h"
#include "Folders.h"
#include "Globals.h"
#include "LibraryUnpacking.h"
#include "LoadedModule.h"
#include "Messages.h"
#include "TemporaryFolder.h"
#include "Text.h"
#include "archive/core/DirectoryKey.h"
#include "archive/guard/LibraryGuard.h"

namespace {

// The longest volume name the library forms from the pattern.
constexpr std::size_t kLongestVolumeName = sizeof "\\setup255.lib" - 1;

// The platform's limit for a command line.
constexpr std::size_t kCommandLineCapacity = 32768;

constexpr DWORD kWaitInterval = 2000;

using ExtractAllProc = void(BZ2ARC_CALL*)(const char*, const char*, const char*, ProgressProc, DiskProc);

struct ExtractAllCall {
  ExtractAllProc ExtractAll;
  const char* Pattern;
  const char* Folder;
};

void RunExtractAll(void* context) {
  const auto& call = *static_cast<ExtractAllCall*>(context);
  call.ExtractAll(call.Pattern, bzip2arc::kDirectoryKey, call.Folder, ExtractProgress, RequestDisk);
}

// The box for a path that has no form fit for the "A" functions; `other`
// for a failure that the system reports otherwise.
const char* PathMessage(PathProblem problem, const char* tooLong, const char* notRepresentable, const char* other) {
  return problem == PathProblem::TooLong ? tooLong : problem == PathProblem::NotRepresentable ? notRepresentable : other;
}

void CreateTemporaryFolder() {
  char basePath[kPathCapacity];
  char folder[kPathCapacity];
  // The search works on its own copy: TempDir never names the system
  // temporary folder, which an error exit would delete. Without a folder the
  // library has nowhere to go, as when the creation fails.
  const PathProblem problem = SystemTempPath(basePath, kPathCapacity - kFirstFolderName - kLongestAppendedName);
  if (problem != PathProblem::None) {
    InitErrorExit(PathMessage(problem, kTempFolderTooLong, kTempFolderNotRepresentable, kLibraryNotExtracted));
  }
  if (!CreateTempFolder(basePath, folder, sizeof folder, TempDirHold)) InitErrorExit(kLibraryNotExtracted);
  CopyText(TempDir, sizeof TempDir, folder);
}

// LoaderDir, for the "A" functions: as the system reports it where it fits
// them, else its short form. A cut or mangled path would find another
// folder's set.
void FindLoaderFolder(char* loaderDir) {
  wchar_t modulePath[kWidePathCapacity];
  const DWORD length = GetModuleFileNameW(nullptr, modulePath, kWidePathCapacity);
  PathProblem problem = length == 0 || length >= kWidePathCapacity ? PathProblem::TooLong : PathProblem::None;
  if (problem == PathProblem::None) {
    // Started by its "\\?\" form, the loader still gives Setup.bin a plain path.
    wchar_t* const folder = WithoutExtendedPrefix(modulePath);
    CutToLoaderFolder(folder);
    // The volume pattern, formatted, must fit as well.
    problem = AnsiPath(folder, loaderDir, kPathCapacity - kLongestVolumeName);
  }
  if (problem != PathProblem::None) {
    InitErrorExit(PathMessage(problem, kLoaderFolderTooLong, kLoaderFolderNotRepresentable, kLoaderFolderTooLong));
  }
}

void StartMainProgram(const char* loaderDir) {
  char commandLine[kCommandLineCapacity];
  if (!BuildCommandLine(TempDir, loaderDir, GetCommandLineA(), commandLine, sizeof commandLine) ||
      WinExec(commandLine, SW_HIDE) <= 31) {
    InitErrorExit(kExecuteFailed);
  }
}

}  // namespace

bool ExtractArchiveSet(const char* loaderDir) {
  char libraryPath[kPathCapacity];
  char pattern[kPathCapacity + sizeof "\\setup%d.lib"];
  if (!JoinText(libraryPath, sizeof libraryPath, TempDir, "\\bzip2arc.dll") ||
      !JoinText(pattern, sizeof pattern, loaderDir, "\\setup%d.lib")) {
    return false;
  }
  const LoadedModule library(LoadLibraryA(libraryPath));
  if (!library.Loaded()) return false;
  ExtractAllCall call{library.Find<ExtractAllProc>("ExtractAll"), pattern, TempDir};
  if (call.ExtractAll == nullptr) return false;
  // Every failure alike; the library's own text is not for the user.
  bzip2arc::LibraryFailure failure;
  if (!bzip2arc::CallLibrary(RunExtractAll, &call, failure)) return false;
  // A Cancel after the library's last look at it has still deleted files.
  return !CancelRequested;
}

void WaitForMainProgram(const char* programPath) {
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
      continue;
    }
    Sleep(kWaitInterval);
    if (DeleteFileA(programPath)) return;
    const DWORD error = GetLastError();
    // Gone already (moved away by the program itself): nothing to wait for.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    // A read-only file could never be deleted, however long we waited.
    const DWORD attributes = GetFileAttributesA(programPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesA(programPath, FILE_ATTRIBUTE_ARCHIVE);
    }
  }
}

void CALLBACK SetupTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD) {
  KillTimer(window, timerId);
  CreateTemporaryFolder();

  char loaderDir[kPathCapacity];
  FindLoaderFolder(loaderDir);

  UnpackLibrary();
  if (!ExtractArchiveSet(loaderDir)) InitErrorExit(kCallFailed);

  EndDialog(DialogHandle, 0);
  DestroyWindow(DialogHandle);

  StartMainProgram(loaderDir);
  char programPath[kPathCapacity];
  JoinText(programPath, sizeof programPath, TempDir, "\\Setup.bin");
  WaitForMainProgram(programPath);
  DeleteTempDir();
}
