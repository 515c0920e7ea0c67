#include "FileExtraction.h"

#include "ModuleState.h"
#include "Paths.h"
#include "Percent.h"
#include "Platform.h"
#include "RecordOutput.h"
#include "StoredData.h"

namespace bzip2arc {

namespace {

// The patch applier's progress: `consumed` patch-stream bytes since its last
// report, shown through FileProgress.
void ReportPatchProgress(std::int32_t consumed) {
  // The applier reports before every copy record, but only the first report
  // of a block brings new bytes: the others would repeat the percentage, and
  // a caller that pumps its messages on every report pays for each of them
  // (tens of thousands for a patched binary).
  if (FileProgress == nullptr || consumed == 0) return;
  PatchDone += consumed;
  std::int32_t ignored = 0;  // the patch step cannot be cancelled
  FileProgress(PatchPercent(PatchDone, PatchTotal), 0, &ignored);
}

// DecompressFile's callbacks: progress through FileProgress, the patch step
// through PatchDone and PatchTotal.
class ExportedCallbacks final : public ExtractionHooks {
 public:
  explicit ExportedCallbacks(DiskProc disk) : disk_(disk) {}

  void Progress(std::int32_t percent, std::int32_t bytes, std::int32_t& cancel) override {
    if (FileProgress != nullptr) FileProgress(percent, bytes, &cancel);
  }
  bool DiskMissing(std::uint8_t volume) override {
    if (disk_ == nullptr) return false;
    // A caller that hears progress may give up while it waits for the disk
    // (a Cancel in its dialog or in its prompt): before every request it
    // hears the file's percentage so far, 0 before anything is decoded.
    std::int32_t cancel = 0;
    Progress(0, 0, cancel);
    if (cancel != 0) throw EArchiveError(kTerminatedByUser);
    disk_(volume);
    return true;
  }
  void PatchStarted(std::int32_t total) override {
    PatchDone = 0;
    PatchTotal = total;
  }
  void PatchConsumed(std::int32_t consumed) override { ReportPatchProgress(consumed); }

 private:
  DiskProc disk_;
};

}  // namespace

void ExtractRecord(const char* volumePattern, const char* destinationPath, const DirectoryRecord& record,
                   const ArchiveHeader& header, const ExtractionContext& context) {
  CheckDirectoryRecord(record, header);
  platform::EnterRootFolder();
  // Destroyed in reverse: the output's clean-up first, then the decoder,
  // then the work file, which goes with its handle.
  TFileStream work(context.WorkFile, FileMode::CreateWorkFile);
  GatherStoredData(volumePattern, record, header, context.Hooks, work);
  std::unique_ptr<TStream> decoder;
  RecordOutput output(record, destinationPath);
  decoder = MakeDecoder(context.Decoders, work);
  DecodeRecord(*decoder, record, context.Hooks, &output);
  output.Finish(context.Hooks);
}

void DecompressFile(const char* volumePattern, const char* destinationPath, DirectoryRecord record,
                    ArchiveHeader header, ProgressProc progress, DiskProc disk) {
  FileProgress = progress;
  ExportedCallbacks callbacks(disk);
  const platform::PathText workFile = JoinedPath(platform::TemporaryFolder().View(), "bzin.tmp");
  ExtractRecord(volumePattern, destinationPath, record, header, {workFile.c_str(), &callbacks, nullptr});
}

}  // namespace bzip2arc
