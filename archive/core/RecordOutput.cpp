#include "RecordOutput.h"

#include "Paths.h"

namespace bzip2arc {

namespace {

// `path` up to and including its last folder delimiter; empty without one.
std::string_view FolderOf(const char* path) {
  const std::string_view text(path);
  const std::size_t at = text.find_last_of(platform::kFolderDelimiters);
  return at == text.npos ? std::string_view() : text.substr(0, at + 1);
}

std::unique_ptr<TFileStream> CreateOutputFile(const char* path) {
  try {
    return std::make_unique<TFileStream>(path, FileMode::Create);
  } catch (const EStreamError&) {
    throw EArchiveError("Could not open output file! Maybe it is in use!");
  }
}

}  // namespace

RecordOutput::RecordOutput(const DirectoryRecord& record, const char* destinationPath)
    : record_(record),
      destinationPath_(destinationPath),
      patchFile_(JoinedPath(FolderOf(destinationPath), kPatchStreamFile)),
      oldCopy_(JoinedPath(FolderOf(destinationPath), kOldCopyFile)) {}

RecordOutput::~RecordOutput() {
  newFile_.reset();
  oldFile_.reset();
  output_.reset();
  platform::ApplyAttributes(destinationPath_, record_.Attributes);
  if (!keepOldCopy_) platform::RemoveFile(oldCopy_.c_str());
  platform::RemoveFile(patchFile_.c_str());
}

void RecordOutput::Prepare() {
  if (record_.Kind == kKindFile) {
    output_ = CreateOutputFile(destinationPath_);
    platform::StampLastWriteTime(*output_, record_.DateTime);
  } else {
    output_ = std::make_unique<TFileStream>(patchFile_.c_str(), FileMode::Create);
  }
}

bool RecordOutput::Write(const std::uint8_t* data, std::int32_t count) {
  output_->WriteBuffer(data, count);
  return true;
}

void RecordOutput::Finish(ExtractionHooks* hooks) {
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

}  // namespace bzip2arc
