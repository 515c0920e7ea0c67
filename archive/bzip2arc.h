/* bzip2arc: the archive library's public interface.
 *
 * Extracts archive sets (volumes setup0.lib, setup1.lib, ...) into a folder.
 * On Windows the library is bzip2arc.dll and every function and callback
 * uses __stdcall; the exports carry their plain names (ExtractAll, ...).
 *
 * Errors. Every failure ends the call with an error that carries an English
 * message; functions have no error results.
 *  - Windows (bzip2arc.dll): the DLL and its caller each carry their own C++
 *    runtime, so no C++ exception crosses the boundary. After its own
 *    clean-up, a failing export raises a structured exception with
 *    RaiseException:
 *        code        BZIP2ARC_EXCEPTION_CODE (0xE0425A41)
 *        flags       EXCEPTION_NONCONTINUABLE
 *        parameter 0 pointer to the message (8-bit text, not zero-terminated)
 *        parameter 1 length of the message in bytes
 *    The message lives only while the exception is being handled: copy it in
 *    the handler. archive/guard/LibraryGuard.h catches it for C++ callers.
 *  - Native builds (static library): the functions throw
 *    bzip2arc::Exception (archive/core/Error.h).
 *
 * Not reentrant: one extraction at a time per loaded library.
 */
#ifndef BZIP2ARC_H
#define BZIP2ARC_H

#include <stdint.h>

#ifdef _WIN32
#define BZ2ARC_CALL __stdcall
#else
#define BZ2ARC_CALL
#endif

#if defined(_WIN32) && defined(BZIP2ARC_BUILDING_DLL)
#define BZ2ARC_EXPORT __declspec(dllexport)
#else
#define BZ2ARC_EXPORT
#endif

#define BZIP2ARC_EXCEPTION_CODE 0xE0425A41u

#ifdef __cplusplus
extern "C" {
#endif

/* Progress: percent of the whole extraction (0..100; from ExtractAll never
 * lower than in the report before), bytes (0 in reports from ExtractAll),
 * and the caller's answer: write 0 into *cancel to go on, anything else to
 * stop. */
typedef void(BZ2ARC_CALL* ProgressProc)(int32_t percent, int32_t bytes, int32_t* cancel);

/* A volume file is missing: volume is its index as it goes into the "%d" of
 * the volume pattern. The library looks again when the callback returns and
 * calls it again while the file is still missing. Before every such call it
 * reports progress once more (the percentage so far, bytes 0), so that a
 * caller can give up while it waits: Cancel ends the call with "Extraction
 * terminated by user!". Without a progress callback it waits for ever. */
typedef void(BZ2ARC_CALL* DiskProc)(uint8_t volume);

/* The archive header and a directory record as stored (little-endian). */
typedef struct ArchiveHeaderBlock {
  unsigned char Bytes[33];
} ArchiveHeaderBlock;

typedef struct DirectoryRecordBlock {
  unsigned char Bytes[104];
} DirectoryRecordBlock;

/* The caller's directory list for ReadArchive: Clear empties it, Append adds
 * one record (copy it: the block lives only during the call). Neither may
 * raise an error into the library. */
typedef struct DirectoryListCallbacks {
  void* Context;
  void(BZ2ARC_CALL* Clear)(void* context);
  void(BZ2ARC_CALL* Append)(void* context, const DirectoryRecordBlock* record);
} DirectoryListCallbacks;

/* Volume pattern: the path of the volumes with a "%d" for the volume index.
 * The last "%d" is the directive; earlier ones belong to folder names and
 * stay as they are ("D:\50%d off\setup%d.lib" names "D:\50%d off\setup1.lib"
 * for volume 1). No other directive is interpreted.
 *
 * Text arguments other than the key must not be null; a null or empty volume
 * pattern, destination folder or destination path fails with the library's
 * error before anything is written. A null key counts as an empty one. */

/* Extracts every file of the set into destinationFolder (no trailing
 * separator). key is the zero-terminated directory key (1..56 bytes).
 * progress and disk may be null. */
BZ2ARC_EXPORT void BZ2ARC_CALL ExtractAll(const char* volumePattern, const char* key, const char* destinationFolder,
                                          ProgressProc progress, DiskProc disk);

/* Reads the header and the directory of volume 0 into *header and list. */
BZ2ARC_EXPORT void BZ2ARC_CALL ReadArchive(const char* volumePattern, const char* key,
                                           const DirectoryListCallbacks* list, ArchiveHeaderBlock* header);

/* Extracts the one file that record describes to destinationPath. */
BZ2ARC_EXPORT void BZ2ARC_CALL DecompressFile(const char* volumePattern, const char* destinationPath,
                                              DirectoryRecordBlock record, ArchiveHeaderBlock header,
                                              ProgressProc progress, DiskProc disk);

/* Does nothing and returns 1. */
BZ2ARC_EXPORT uint8_t BZ2ARC_CALL Prepare(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6);

#ifdef __cplusplus
}
#endif

#endif /* BZIP2ARC_H */
