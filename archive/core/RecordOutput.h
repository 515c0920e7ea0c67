// The output side of one record's extraction, in steps: prepare the
// destination file (or "patch.tmp" for a patch stream), write it, finish it
// (stamp it, or apply the patch stream to what "patch.old" keeps of the old
// file), and clean up. The clean-up is the destructor, so that it runs on
// every way out, and the one place that knows its order.
#pragma once

#include <cstdint>
#include <memory>

#include "ArchiveFormat.h"
#include "ExtractionHooks.h"
#include "Platform.h"
#include "RecordDecoding.h"
#include "Stream.h"

namespace bzip2arc {

class RecordOutput final : public DecodedSink {
 public:
  // Touches nothing yet. `record` and `destinationPath` must outlive it.
  RecordOutput(const DirectoryRecord& record, const char* destinationPath);
  // The clean-up: closes what is open, gives the destination path the
  // record's attributes (also when it was never written), then deletes
  // "patch.old" (unless a failed patch left the only old contents in it)
  // and "patch.tmp".
  ~RecordOutput();
  RecordOutput(const RecordOutput&) = delete;
  RecordOutput& operator=(const RecordOutput&) = delete;

  // Creates the destination and stamps it at once ("Could not open output
  // file! Maybe it is in use!" when it cannot be created), or for any other
  // Kind than a file creates "patch.tmp".
  void Prepare() override;
  // Writes the whole chunk, or fails.
  bool Write(const std::uint8_t* data, std::int32_t count) override;
  // A file is stamped again (writes move the time on some systems); a patch
  // stream (Kind 1) is applied to the destination, which is then stamped.
  // `hooks` (may be null) hear the patch step.
  void Finish(ExtractionHooks* hooks);

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

}  // namespace bzip2arc
