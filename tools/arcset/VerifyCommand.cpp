#include "VerifyCommand.h"

#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "InMemory.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/Diff.h"
#include "archive/core/MemoryStream.h"
#include "archive/core/RecordDecoding.h"

namespace arcset {

namespace {

using Content = std::vector<std::uint8_t>;

// keep[i]: a later patch record applies to the file record i leaves behind,
// so its content has to stay in memory until then.
std::vector<bool> ContentsToKeep(const bzip2arc::DirectoryList& list) {
  std::vector<bool> keep(list.Count());
  std::set<std::string_view> patchedLater;
  for (std::size_t i = list.Count(); i-- > 0;) {
    const bzip2arc::DirectoryRecord& record = list[i];
    keep[i] = patchedLater.count(record.NameView()) != 0;
    if (record.Kind == bzip2arc::kKindPatch) patchedLater.insert(record.NameView());
    if (record.Kind == bzip2arc::kKindFile) patchedLater.erase(record.NameView());
  }
  return keep;
}

}  // namespace

std::size_t VerifySet(const std::string& volumePattern, const std::string& key, bzip2arc::DecoderFactory* decoders,
                      std::int64_t storedInMemory) {
  bzip2arc::DirectoryList list;
  bzip2arc::ArchiveHeader header;
  bzip2arc::ReadArchive(volumePattern.c_str(), key.c_str(), list, header);
  const std::vector<bool> keep = ContentsToKeep(list);
  std::map<std::string, Content, std::less<>> contents;

  for (std::size_t i = 0; i < list.Count(); ++i) {
    const bzip2arc::DirectoryRecord& record = list[i];
    const std::string name(record.NameView());
    bzip2arc::CheckDirectoryRecord(record, header);
    bzip2arc::CheckRecordName(record.NameView());
    const std::unique_ptr<bzip2arc::TStream> stored =
        GatherToStream(volumePattern.c_str(), record, header, storedInMemory);

    const bool patch = record.Kind == bzip2arc::kKindPatch;
    const bool wanted = patch || (record.Kind == bzip2arc::kKindFile && keep[i]);
    const std::unique_ptr<bzip2arc::TStream> decoder = bzip2arc::MakeDecoder(decoders, *stored);
    MemorySink sink;
    bzip2arc::DecodeRecord(*decoder, record, nullptr, wanted ? &sink : nullptr);
    Content decoded = std::move(sink.Bytes());
    if (record.Kind == bzip2arc::kKindFile) {
      if (keep[i]) contents[name] = std::move(decoded);
      else contents.erase(name);
    } else if (patch) {
      const auto old = contents.find(name);
      if (old == contents.end())
        bzip2arc::RaiseNamed("Patch record \"", name, "\" follows no record that writes its file");
      bzip2arc::TMemoryStream patchStream(std::move(decoded));
      bzip2arc::TMemoryStream oldStream(std::move(old->second));
      bzip2arc::TMemoryStream newStream;
      contents.erase(old);
      bzip2arc::ApplyPatch(patchStream, oldStream, newStream, nullptr);
      if (keep[i]) contents[name] = std::move(newStream.Bytes());
    }
  }
  return list.Count();
}

}  // namespace arcset
