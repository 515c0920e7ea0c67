#include "SetExtraction.h"

#include "CheckedDirectory.h"
#include "FileExtraction.h"
#include "LibraryInterface.h"
#include "Percent.h"
#include "RecordOutput.h"

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

void ExtractRecord(const char* volumePattern, const char* destinationPath, const DirectoryRecord& record,
                   const ArchiveHeader& header, const ExtractionContext& context) {
  ExtractRecordThrough(volumePattern, destinationPath, record, header, context, OutputMakerOf(context.Output));
}

void ExtractRecords(const char* volumePattern, const ArchiveHeader& header, DirectoryStore& records,
                    const char* destinationFolder, const ExtractionContext& context) {
  SetProgress hooks(context.Hooks, static_cast<std::int32_t>(records.Count()));
  ExtractionContext recordContext = context;
  recordContext.Hooks = &hooks;
  for (std::size_t i = 0; i < records.Count(); ++i) {
    hooks.StartRecord(static_cast<std::int32_t>(i));
    const DirectoryRecord record = records[i];
    ForRecord(record, [&] {
      const DestinationPath path = CheckedDestinationPath(destinationFolder, record, header, context.Names);
      ExtractRecord(volumePattern, path.c_str(), record, header, recordContext);
    });
  }
}

void ExtractSet(const char* volumePattern, const char* key, const char* destinationFolder,
                const ExtractionContext& context) {
  DirectoryStore records(context.WorkFile);
  ArchiveHeader header;
  ReadCheckedDirectory(volumePattern, key, header, records);
  ExtractRecords(volumePattern, header, records, destinationFolder, context);
}

}  // namespace bzip2arc
