#include "VerifyCommand.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "InMemory.h"
#include "Locations.h"
#include "archive/core/CheckedDirectory.h"
#include "archive/core/Diff.h"
#include "archive/core/RecordDecoding.h"

namespace arcset {

namespace {

using WorkFile = std::unique_ptr<bzip2arc::TFileStream>;

// A nameless file for decoded bytes: contents may be gigabytes, memory is not.
WorkFile NewWorkFile() {
  return std::make_unique<bzip2arc::TFileStream>(PrivateWorkFile().c_str(), bzip2arc::FileMode::CreateWorkFile);
}

// The decode loop's sink into a work file, read back from its start.
class FileSink final : public bzip2arc::DecodedSink {
 public:
  explicit FileSink(bzip2arc::TStream& file) : file_(file) {}
  void Prepare() override {}
  bool Write(const std::uint8_t* data, std::int32_t count) override {
    file_.WriteBuffer(data, count);
    return true;
  }

 private:
  bzip2arc::TStream& file_;
};

// keep[i]: a later patch record applies to the file record i leaves behind,
// so its content has to stay until then.
std::vector<bool> ContentsToKeep(bzip2arc::DirectoryStore& list) {
  std::vector<bool> keep(list.Count());
  std::set<std::string> patchedLater;
  for (std::size_t i = list.Count(); i-- > 0;) {
    const bzip2arc::DirectoryRecord record = list[i];
    const std::string name(record.NameView());
    keep[i] = patchedLater.count(name) != 0;
    if (record.Kind == bzip2arc::kKindPatch) patchedLater.insert(name);
    if (record.Kind == bzip2arc::kKindFile) patchedLater.erase(name);
  }
  return keep;
}

}  // namespace

std::size_t VerifySet(const std::string& volumePattern, const std::string& key, bzip2arc::DecoderFactory* decoders,
                      std::int64_t storedInMemory) {
  const std::string workFile = PrivateWorkFile();
  bzip2arc::DirectoryStore list(workFile.c_str());
  bzip2arc::ArchiveHeader header;
  bzip2arc::ReadCheckedDirectory(volumePattern.c_str(), key.c_str(), header, list);
  const std::vector<bool> keep = ContentsToKeep(list);
  std::map<std::string, WorkFile, std::less<>> contents;

  for (std::size_t i = 0; i < list.Count(); ++i) {
    const bzip2arc::DirectoryRecord record = list[i];
    const std::string name(record.NameView());
    bzip2arc::ForRecord(record, [&] {
      const std::unique_ptr<bzip2arc::TStream> stored =
          GatherToStream(volumePattern.c_str(), record, header, storedInMemory);

      const bool patch = record.Kind == bzip2arc::kKindPatch;
      const bool wanted = patch || (record.Kind == bzip2arc::kKindFile && keep[i]);
      const std::unique_ptr<bzip2arc::TStream> decoder = bzip2arc::MakeDecoder(decoders, *stored);
      WorkFile decoded = wanted ? NewWorkFile() : nullptr;
      std::unique_ptr<FileSink> sink = wanted ? std::make_unique<FileSink>(*decoded) : nullptr;
      bzip2arc::DecodeRecord(*decoder, record, nullptr, sink.get());
      if (record.Kind == bzip2arc::kKindFile) {
        if (keep[i]) contents[name] = std::move(decoded);
        else contents.erase(name);
      } else if (patch) {
        const auto old = contents.find(name);
        if (old == contents.end())
          bzip2arc::RaiseNamed("Patch record \"", name, "\" follows no record that writes its file");
        const WorkFile oldFile = std::move(old->second);
        contents.erase(old);
        decoded->SetPosition(0);
        oldFile->SetPosition(0);
        WorkFile newFile = NewWorkFile();
        bzip2arc::ApplyPatch(*decoded, *oldFile, *newFile, nullptr);
        if (keep[i]) contents[name] = std::move(newFile);
      }
    });
  }
  return list.Count();
}

}  // namespace arcset
