// The output side of one record's extraction, in steps: prepare where the
// decoded bytes go, write them, finish (stamp the file, or apply the patch
// stream to the old file), and clean up. The clean-up is the destructor, so
// that it runs on every way out, and each kind of output is the one place
// that knows its order.
#pragma once

#include <memory>

#include "ArchiveFormat.h"
#include "ExtractionHooks.h"
#include "RecordDecoding.h"

namespace bzip2arc {

class RecordOutput : public DecodedSink {
 public:
  virtual ~RecordOutput() = default;
  // After the decode loop: the file is made complete. `hooks` (may be null)
  // hear the patch step.
  virtual void Finish(ExtractionHooks* hooks) = 0;
};

// The outputs of the two OutputModes for `record` at `destinationPath`; both
// must outlive the output. `workFile` names the work location (ExtractionContext).
using OutputMaker = std::unique_ptr<RecordOutput> (*)(const DirectoryRecord& record, const char* destinationPath,
                                                      const char* workFile);
std::unique_ptr<RecordOutput> MakeReplacingOutput(const DirectoryRecord& record, const char* destinationPath,
                                                  const char* workFile);
std::unique_ptr<RecordOutput> MakeInPlaceOutput(const DirectoryRecord& record, const char* destinationPath,
                                                const char* workFile);

// The maker of `mode`.
OutputMaker OutputMakerOf(OutputMode mode);

}  // namespace bzip2arc
