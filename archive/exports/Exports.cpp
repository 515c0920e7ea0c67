// The library's exported operations. In bzip2arc.dll every failure is caught
// here, after the library's own clean-up, and raised again as a structured
// exception that the caller's runtime can catch (see bzip2arc.h). Natively
// the C++ exceptions simply pass.
#include <new>

#include "archive/core/LibraryInterface.h"
#include "archive/bzip2arc.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace bzip2arc;

#ifdef _WIN32

[[noreturn]] void RaiseLibraryError(const MessageText& message) {
  const ULONG_PTR arguments[2] = {reinterpret_cast<ULONG_PTR>(message.c_str()), message.Length()};
  ::RaiseException(BZIP2ARC_EXCEPTION_CODE, EXCEPTION_NONCONTINUABLE, 2, arguments);
  ::ExitProcess(3);  // not reached: nobody may continue a noncontinuable exception
}

// One copy of the catch-all for every export.
void RunGuarded(void (*call)(void*), void* context) {
  MessageText failure;
  try {
    call(context);
    return;
  } catch (const Exception& error) {
    failure.Append(error.Message());
  } catch (const std::bad_alloc&) {
    failure.Append("Out of memory");
  } catch (...) {
    failure.Append("Unexpected error");
  }
  // Raised outside the catch block: the DLL's own unwinding is complete.
  RaiseLibraryError(failure);
}

template <class Call>
void Run(Call&& call) {
  RunGuarded([](void* context) { (*static_cast<Call*>(context))(); }, &call);
}

#else

template <class Call>
void Run(Call&& call) {
  call();
}

#endif

// A null text would crash inside the library; an empty destination would put
// the files into the root of the current drive.
void RequireText(const char* text, const char* message) {
  if (text == nullptr || *text == '\0') throw EArchiveError(message);
}

void RequirePattern(const char* volumePattern) { RequireText(volumePattern, "No volume pattern given"); }

}  // namespace

extern "C" {

BZ2ARC_EXPORT void BZ2ARC_CALL ExtractAll(const char* volumePattern, const char* key, const char* destinationFolder,
                                          ProgressProc progress, DiskProc disk) {
  Run([&] {
    RequirePattern(volumePattern);
    RequireText(destinationFolder, "No destination folder given");
    bzip2arc::ExtractAll(volumePattern, key, destinationFolder, progress, disk);
  });
}

BZ2ARC_EXPORT void BZ2ARC_CALL ReadArchive(const char* volumePattern, const char* key,
                                           const DirectoryListCallbacks* list, ArchiveHeaderBlock* header) {
  Run([&] {
    RequirePattern(volumePattern);
    if (list != nullptr && list->Clear != nullptr) list->Clear(list->Context);
    bzip2arc::DirectoryList records;
    ArchiveHeader decoded;
    if (header != nullptr) DecodeArchiveHeader(header->Bytes, decoded);
    // The caller keeps what was read also when the read fails.
    auto deliver = [&] {
      if (header != nullptr) EncodeArchiveHeader(decoded, header->Bytes);
      if (list == nullptr || list->Append == nullptr) return;
      for (const DirectoryRecord& record : records) {
        DirectoryRecordBlock block;
        EncodeDirectoryRecord(record, block.Bytes);
        list->Append(list->Context, &block);
      }
    };
    try {
      bzip2arc::ReadArchive(volumePattern, key, records, decoded);
    } catch (...) {
      deliver();
      throw;
    }
    deliver();
  });
}

BZ2ARC_EXPORT void BZ2ARC_CALL DecompressFile(const char* volumePattern, const char* destinationPath,
                                              DirectoryRecordBlock record, ArchiveHeaderBlock header,
                                              ProgressProc progress, DiskProc disk) {
  Run([&] {
    RequirePattern(volumePattern);
    RequireText(destinationPath, "No destination path given");
    DirectoryRecord decodedRecord;
    ArchiveHeader decodedHeader;
    DecodeDirectoryRecord(record.Bytes, decodedRecord);
    DecodeArchiveHeader(header.Bytes, decodedHeader);
    bzip2arc::DecompressFile(volumePattern, destinationPath, decodedRecord, decodedHeader, progress, disk);
  });
}

BZ2ARC_EXPORT uint8_t BZ2ARC_CALL Prepare(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6) {
  return bzip2arc::Prepare(a1, a2, a3, a4, a5, a6) ? 1 : 0;
}

}  // extern "C"
