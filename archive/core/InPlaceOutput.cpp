// The output of OutputMode::InPlace: the destination file (or "patch.tmp"
// for a patch stream) is created at once under its own name; a patch copies
// the old file to "patch.old" and writes the new one where the old one was.
#include "Paths.h"
#include "Platform.h"
#include "RecordOutput.h"
#include "Stream.h"

namespace bzip2arc {

namespace {

std::unique_ptr<TFileStream> CreateOutputFile(const char* path) {
  try {
    return std::make_unique<TFileStream>(path, FileMode::Create);
  } catch (const EStreamError&) {
    throw EArchiveError("Could not open output file! Maybe it is in use!");
  }
}

class InPlaceOutput final : public RecordOutput {
 public:
  // Touches nothing yet.
  InPlaceOutput(const DirectoryRecord& record, const char* destinationPath)
      : record_(record),
        destinationPath_(destinationPath),
        patchFile_(JoinedPath(FolderOf(destinationPath), kPatchStreamFile)),
        oldCopy_(JoinedPath(FolderOf(destinationPath), kOldCopyFile)) {}

  // Closes what is open, gives the destination path the record's attributes
  // (also when it was never written), then deletes "patch.old" (unless a
  // failed patch left the only old contents in it) and "patch.tmp".
  ~InPlaceOutput() override {
    newFile_.reset();
    oldFile_.reset();
    output_.reset();
    platform::ApplyAttributes(destinationPath_, record_.Attributes);
    if (!keepOldCopy_) platform::RemoveFile(oldCopy_.c_str());
    platform::RemoveFile(patchFile_.c_str());
  }

  // Creates the destination and stamps it at once ("Could not open output
  // file! Maybe it is in use!" when it cannot be created), or for any other
  // Kind than a file creates "patch.tmp".
  void Prepare() override {
    if (record_.Kind == kKindFile) {
      output_ = CreateOutputFile(destinationPath_);
      platform::StampLastWriteTime(*output_, record_.DateTime);
    } else {
      output_ = std::make_unique<TFileStream>(patchFile_.c_str(), FileMode::Create);
    }
  }

  bool Write(const std::uint8_t* data, std::int32_t count) override {
    output_->WriteBuffer(data, count);
    return true;
  }

  // A file is stamped again (writes move the time on some systems); a patch
  // stream (Kind 1) is applied to the destination, which is then stamped.
  void Finish(ExtractionHooks* hooks) override {
    if (record_.Kind == kKindFile) {
      platform::StampLastWriteTime(*output_, record_.DateTime);
    } else if (record_.Kind == kKindPatch) {
      platform::DuplicateFile(destinationPath_, oldCopy_.c_str());
      oldFile_ = std::make_unique<TFileStream>(oldCopy_.c_str(), FileMode::OpenReadShared);
      keepOldCopy_ = true;  // holds the only old contents until the new file is complete
      newFile_ = CreateOutputFile(destinationPath_);
      if (hooks != nullptr) hooks->PatchStarted(output_->Size());
      ApplyPatch(*output_, *oldFile_, *newFile_, hooks);
      platform::StampLastWriteTime(*newFile_, record_.DateTime);
      newFile_.reset();
      oldFile_.reset();
      keepOldCopy_ = false;
    }
  }

 private:
  const DirectoryRecord& record_;
  const char* destinationPath_;
  const platform::PathText patchFile_;
  const platform::PathText oldCopy_;
  std::unique_ptr<TFileStream> output_;
  std::unique_ptr<TFileStream> oldFile_;
  std::unique_ptr<TFileStream> newFile_;
  bool keepOldCopy_ = false;
};

}  // namespace

std::unique_ptr<RecordOutput> MakeInPlaceOutput(const DirectoryRecord& record, const char* destinationPath,
                                                const char*) {
  return std::make_unique<InPlaceOutput>(record, destinationPath);
}

}  // namespace bzip2arc
