// A program outside this tree that uses the installed library: lists the set's
// records and extracts it. consumer VOLUMES KEY DEST; exit status 1 and the
// library's message when it fails.
#include <archive/bzip2arc.h>
#include <archive/core/ArchiveFormat.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const DirectoryListCallbacks list{nullptr, [](void*) {}, [](void*, const DirectoryRecordBlock* block) {
    bzip2arc::DirectoryRecord record;
    bzip2arc::DecodeDirectoryRecord(block->Bytes, record);
    std::printf("%.*s %d\n", static_cast<int>(record.NameView().size()), record.NameView().data(), record.Size);
  }};
  try {
    ArchiveHeaderBlock header;
    ReadArchive(argv[1], argv[2], &list, &header);
    ExtractAll(argv[1], argv[2], argv[3], nullptr, nullptr);
  } catch (const bzip2arc::Exception& error) {
    std::fprintf(stderr, "consumer: %s\n", error.what());
    return 1;
  }
  return 0;
}
