#include "FileExtraction.h"

#include <memory>
#include <optional>

#include "BZip2.h"
#include "Diff.h"
#include "ModuleState.h"
#include "Percent.h"
#include "Platform.h"

namespace bzip2arc {

namespace {

using platform::PathText;

[[noreturn]] void RaiseNamed(const char* before, std::string_view name, const char* after) {
  MessageText message;
  message.Append(before).AppendPrintable(name).Append(after);
  throw EArchiveError(message);
}

PathText Joined(std::string_view folder, const char* name) {
  PathText path(folder);
  path.Append(name);
  if (path.Truncated()) RaiseNamed("Path too long: ", path.View(), "");
  return path;
}

// The destination path up to and including its last folder delimiter.
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

// Everything one call has open or has to delete, released in the order the
// clean-up needs on every way out.
class Extraction {
 public:
  Extraction(const DirectoryRecord& record, const char* destinationPath, std::string_view workFolder)
      : record_(record), destinationPath_(destinationPath), workFile_(Joined(workFolder, "bzin.tmp")) {}

  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  ~Extraction() {
    output_.reset();
    decoder_.reset();
    work_.reset();
    platform::RemoveFile(workFile_.c_str());
  }

  void Run(const char* volumePattern, const ArchiveHeader& header, ProgressProc progress, DiskProc disk) {
    work_ = std::make_unique<TFileStream>(workFile_.c_str(), FileMode::CreateWorkFile);
    GatherStoredData(volumePattern, record_, header, disk, *work_);
    output_.emplace(record_, destinationPath_);
    Decompress(progress);
    PatchDone = 0;
    PatchTotal = output_->Written();
    output_->Finish(ReportPatchProgress);
  }

 private:
  void Decompress(ProgressProc progress) {
    decoder_ = std::make_unique<TBZDecompressionStream>(*work_);
    decoder_->Seek(0, soBeginning);
    output_->Create();
    const double scale = record_.Kind == kKindFile ? 100 : 50;

    const auto chunk = std::make_unique<std::uint8_t[]>(kChunkSize);
    std::int32_t cancel = 0;
    std::int64_t total = 0;
    std::int32_t got = 0;
    do {
      got = decoder_->Read(chunk.get(), kChunkSize);
      total += got;
      if (total > INT32_MAX) RaiseCorrupted(record_);
      if (progress != nullptr) {
        const std::int32_t percent =
            record_.Size != 0 ? RoundPercent(static_cast<double>(total) / record_.Size * scale) : 100;
        progress(percent, static_cast<std::int32_t>(total), &cancel);
      }
      if (cancel != 0) throw EArchiveError("Extraction terminated by user!");
      output_->Write(chunk.get(), got);
    } while (got >= kChunkSize);

    if (total < record_.Size) RaiseCorrupted(record_);
  }

  const DirectoryRecord& record_;
  const char* destinationPath_;
  const PathText workFile_;

  std::unique_ptr<TFileStream> work_;
  std::unique_ptr<TBZDecompressionStream> decoder_;
  std::optional<RecordOutput> output_;
};

}  // namespace

void RaiseCorrupted(const DirectoryRecord& record) { RaiseNamed("File ", record.NameView(), " is corrupted"); }

RecordOutput::RecordOutput(const DirectoryRecord& record, const char* destinationPath)
    : record_(record),
      destinationPath_(destinationPath),
      patchFile_(Joined(FolderOf(destinationPath), "patch.tmp")),
      oldCopy_(Joined(FolderOf(destinationPath), "patch.old")) {}

RecordOutput::~RecordOutput() {
  newFile_.reset();
  oldFile_.reset();
  if (output_) output_->Close();
  platform::ApplyAttributes(destinationPath_, record_.Attributes);
  if (!keepOldCopy_) platform::RemoveFile(oldCopy_.c_str());
  platform::RemoveFile(patchFile_.c_str());
}

void RecordOutput::Create() {
  if (record_.Kind == kKindFile) {
    output_ = CreateOutputFile(destinationPath_);
    platform::StampLastWriteTime(*output_, record_.DateTime);
  } else {
    output_ = std::make_unique<TFileStream>(patchFile_.c_str(), FileMode::Create);
  }
}

void RecordOutput::Finish(PatchProgressProc progress) {
  if (record_.Kind == kKindFile) {
    // Writes move the last-write time on POSIX and under Wine: stamp again.
    platform::StampLastWriteTime(*output_, record_.DateTime);
  } else if (record_.Kind == kKindPatch) {
    platform::DuplicateFile(destinationPath_, oldCopy_.c_str());
    oldFile_ = std::make_unique<TFileStream>(oldCopy_.c_str(), FileMode::OpenReadShared);
    keepOldCopy_ = true;  // holds the only old contents until the new file is complete
    newFile_ = CreateOutputFile(destinationPath_);
    ApplyPatch(*output_, *oldFile_, *newFile_, progress);
    platform::StampLastWriteTime(*newFile_, record_.DateTime);
    newFile_.reset();
    oldFile_.reset();
    keepOldCopy_ = false;
  }
}

void GatherStoredData(const char* volumePattern, const DirectoryRecord& record, const ArchiveHeader& header,
                      DiskProc disk, TStream& into) {
  const StoredDataLocation location = LocateStoredData(record, header);
  int volume = location.Volume;
  std::int64_t position = location.Offset;
  std::int64_t gathered = 0;
  while (gathered < location.Length) {
    PathText name;
    if (!FormatVolumeName(volumePattern, volume, name)) RaiseNamed("Path too long: ", name.View(), "");
    while (!platform::FileExists(name.c_str())) {
      if (disk == nullptr) {
        MessageText message;
        message.Append("Disk #").Append(volume + 1).Append(" needed!");
        throw EArchiveError(message);
      }
      disk(static_cast<std::uint8_t>(volume));
    }
    TFileStream source(name.c_str(), FileMode::OpenReadShared);
    const std::int64_t available = static_cast<std::int64_t>(source.Size()) - position;
    // A zero count would mean "the whole volume" to CopyBytes.
    if (available <= 0) RaiseNamed("Stored data of \"", record.NameView(), "\" lies past the end of its volume");
    source.SetPosition(static_cast<std::int32_t>(position));
    const std::int64_t wanted = location.Length - gathered;
    gathered += CopyBytes(source, into, static_cast<std::int32_t>(wanted < available ? wanted : available));
    if (gathered < location.Length) {
      if (volume == kMaxVolumes - 1) RaiseNamed("Stored data of \"", record.NameView(), "\" runs past volume 255");
      position = 0;
      ++volume;
    }
  }
}

std::int32_t CopyBytes(TStream& source, TStream& destination, std::int32_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const auto piece = std::make_unique<std::uint8_t[]>(kPieceSize);
  std::int32_t copied = 0;
  std::int32_t got = 0;
  do {
    std::int32_t wanted = count - copied;
    if (wanted > kPieceSize) wanted = kPieceSize;
    if (wanted < 0) wanted = 0;
    got = source.Read(piece.get(), wanted);
    // A short write into the work file (disk full) must not pass unnoticed.
    destination.WriteBuffer(piece.get(), got);
    copied += got;
  } while (got >= kPieceSize);
  return copied;
}

void ReportPatchProgress(std::int32_t consumed) {
  // The applier reports before every copy record, but only the first report
  // of a block brings new bytes: the others would repeat the percentage, and
  // a caller that pumps its messages on every report pays for each of them
  // (tens of thousands for a patched binary).
  if (FileProgress == nullptr || consumed == 0) return;
  PatchDone += consumed;
  // The decompression phase showed 0..50 already: carry on from there.
  const std::int32_t percent =
      PatchTotal == 0 ? 100 : RoundPercent(50.0 + static_cast<double>(PatchDone) / PatchTotal * 50.0);
  std::int32_t ignored = 0;  // the patch step cannot be cancelled
  FileProgress(percent, 0, &ignored);
}

void DecompressFile(const char* volumePattern, const char* destinationPath, DirectoryRecord record,
                    ArchiveHeader header, ProgressProc progress, DiskProc disk) {
  CheckDirectoryRecord(record, header);
  platform::EnterRootFolder();
  FileProgress = progress;
  Extraction extraction(record, destinationPath, platform::WorkFolder().View());
  extraction.Run(volumePattern, header, progress, disk);
}

}  // namespace bzip2arc
