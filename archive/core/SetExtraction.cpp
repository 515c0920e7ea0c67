#include "SetExtraction.h"

#include "ArchiveReader.h"
#include "FileExtraction.h"
#include "LibraryInterface.h"
#include "Percent.h"

namespace bzip2arc {

namespace {

// ExtractSet's hooks for each record: the set's percentage for the caller's.
class SetProgress final : public ExtractionHooks {
 public:
  SetProgress(ExtractionHooks* caller, std::int32_t count) : caller_(caller), count_(count) {}

  void StartRecord(std::int32_t index) { index_ = index; }
  void Progress(std::int32_t percent, std::int32_t, std::int32_t& cancel) override {
    if (caller_ != nullptr) caller_->Progress(SetPercent(index_, count_, percent, shown_), 0, cancel);
  }
  bool DiskMissing(std::uint8_t volume) override { return caller_ != nullptr && caller_->DiskMissing(volume); }

 private:
  ExtractionHooks* caller_;
  std::int32_t count_;
  std::int32_t index_ = 0;
  std::int32_t shown_ = INT32_MIN;  // nothing reported yet
};

}  // namespace

void ExtractSet(const char* volumePattern, const char* key, const char* destinationFolder,
                const ExtractionContext& context) {
  DirectoryList list;
  ArchiveHeader header;
  ReadArchive(volumePattern, key, list, header);
  SetProgress hooks(context.Hooks, static_cast<std::int32_t>(list.Count()));
  ExtractionContext recordContext = context;
  recordContext.Hooks = &hooks;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    hooks.StartRecord(static_cast<std::int32_t>(i));
    const DestinationPath path = CheckedDestinationPath(destinationFolder, list[i], header);
    ExtractRecord(volumePattern, path.c_str(), list[i], header, recordContext);
  }
}

}  // namespace bzip2arc
