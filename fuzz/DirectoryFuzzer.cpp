// The directory reader over arbitrary bytes of volume 0 (plain and
// enciphered: the first header byte decides), followed by the record checks
// and the location rule that extraction applies to every record.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/DirectoryKey.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto folder = fuzzsupport::FreshFolder("vol");
  fuzzsupport::WriteFile(folder / "setup0.lib", data, size);
  const std::string pattern = (folder / "setup%d.lib").string();

  bzip2arc::DirectoryList list;
  bzip2arc::ArchiveHeader header;
  try {
    bzip2arc::ReadArchive(pattern.c_str(), bzip2arc::kDirectoryKey, list, header);
  } catch (const bzip2arc::Exception&) {
  }
  for (const bzip2arc::DirectoryRecord& record : list) {
    try {
      bzip2arc::CheckRecordName(record.NameView());
      bzip2arc::CheckDirectoryRecord(record, header);
      const auto location = bzip2arc::LocateStoredData(record, header);
      if (location.Length > 0 && location.Offset < 0) std::abort();  // checks must rule this out
    } catch (const bzip2arc::Exception&) {
    }
  }
  return 0;
}
