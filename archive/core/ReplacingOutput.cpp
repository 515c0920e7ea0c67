// The output of OutputMode::Replace: a new file of a unique name beside the
// destination, created exclusively, that takes the destination's place only
// once it is complete. A patch reads the old file where it is (a link there
// is refused) and keeps its patch stream beside the work file, so that no
// fixed name is ever used in the destination's folder.
#include "Paths.h"
#include "OutputFolder.h"
#include "RecordOutput.h"
#include "Stream.h"

namespace bzip2arc {

namespace {

using UniqueName = FixedText<256>;

class ReplacingOutput final : public RecordOutput {
 public:
  // Touches nothing yet.
  ReplacingOutput(const DirectoryRecord& record, const char* destinationPath, const char* workFile)
      : record_(record),
        destinationPath_(destinationPath),
        name_(std::string_view(destinationPath).substr(FolderOf(destinationPath).size())),
        workFile_(workFile) {}

  // Closes what is open and removes the new file unless it took the
  // destination's place: on failure the destination is as it was.
  ~ReplacingOutput() override {
    newFile_.reset();
    oldFile_.reset();
    patchStream_.reset();
    if (created_) folder_->Remove(uniqueName_.View());
  }

  // A file goes straight into its new file; a patch stream into a work file.
  // Any other Kind is only decoded.
  void Prepare() override {
    if (record_.Kind != kKindFile && record_.Kind != kKindPatch) return;
    folder_ = std::make_unique<platform::OutputFolder>(FolderOf(destinationPath_));
    if (!folder_->IsOpen()) RaiseCannotCreate(platform::LastSystemError());
    if (record_.Kind == kKindFile) {
      CreateNewFile();
    } else {
      patchStream_ = std::make_unique<TFileStream>(JoinedPath(workFile_, ".patch").c_str(), FileMode::CreateWorkFile);
    }
  }

  bool Write(const std::uint8_t* data, std::int32_t count) override {
    if (record_.Kind == kKindFile) newFile_->WriteBuffer(data, count);
    else if (record_.Kind == kKindPatch) patchStream_->WriteBuffer(data, count);
    return true;
  }

  void Finish(ExtractionHooks* hooks) override {
    if (record_.Kind == kKindPatch) {
      OpenOldFile();
      CreateNewFile();
      if (hooks != nullptr) hooks->PatchStarted(patchStream_->Size());
      ApplyPatch(*patchStream_, *oldFile_, *newFile_, hooks);
    }
    if (record_.Kind == kKindFile || record_.Kind == kKindPatch) Commit();
  }

 private:
  [[noreturn]] void RaiseCannotCreate(int systemError) const {
    EArchiveError error("Could not open output file! Maybe it is in use!");
    error.SetDetail(destinationPath_, systemError);
    throw error;
  }

  void CreateNewFile() {
    FileHandle handle;
    if (!folder_->CreateUnique(name_, handle, uniqueName_)) RaiseCannotCreate(platform::LastSystemError());
    created_ = true;
    newFile_ = std::make_unique<TFileStream>(handle, destinationPath_);
  }

  void OpenOldFile() {
    FileHandle handle;
    int systemError = 0;
    if (!folder_->OpenRegular(name_, handle, systemError)) {
      DetailText detail(destinationPath_);
      if (systemError == 0) detail.Append(" is not a regular file");
      platform::RaiseFileError(FileMode::OpenReadShared, destinationPath_, detail.View(), systemError);
    }
    oldFile_ = std::make_unique<TFileStream>(handle, destinationPath_);
  }

  // Time and attributes through the open file, then the new file takes the
  // destination's name. Without a sync: a crash of the system (not of the
  // process) may still find the new file incomplete.
  void Commit() {
    platform::StampLastWriteTime(*newFile_, record_.DateTime);
    if (!platform::ApplyAttributes(*newFile_, record_.Attributes)) RaiseCannotCreate(platform::LastSystemError());
    newFile_->Close();
    oldFile_.reset();  // Windows renames nothing over an open file
    if (!folder_->Replace(uniqueName_.View(), name_)) RaiseCannotCreate(platform::LastSystemError());
    created_ = false;
  }

  const DirectoryRecord& record_;
  const char* destinationPath_;
  const std::string_view name_;
  const char* workFile_;
  std::unique_ptr<platform::OutputFolder> folder_;
  UniqueName uniqueName_;
  bool created_ = false;
  std::unique_ptr<TFileStream> newFile_;
  std::unique_ptr<TFileStream> oldFile_;
  std::unique_ptr<TFileStream> patchStream_;
};

}  // namespace

std::unique_ptr<RecordOutput> MakeReplacingOutput(const DirectoryRecord& record, const char* destinationPath,
                                                  const char* workFile) {
  return std::make_unique<ReplacingOutput>(record, destinationPath, workFile);
}

}  // namespace bzip2arc
