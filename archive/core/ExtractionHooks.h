// What an extraction reports to its caller and asks of it, and where its
// work goes. The exported callback types carry no context, so the exported
// functions keep theirs in the library's module-wide state; the internal
// entry points take hooks that carry their own, so that extractions on
// several threads share nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "Diff.h"
#include "Percent.h"
#include "Stream.h"

namespace bzip2arc {

// How an extraction that its caller cancelled fails.
inline constexpr char kTerminatedByUser[] = "Extraction terminated by user!";

// The defaults are those of absent callbacks: nothing is reported, nothing
// cancelled, and nobody is asked for a missing disk.
class ExtractionHooks : public PatchProgress {
 public:
  // After every decompressed chunk: the file's percentage and its bytes
  // decompressed so far. Nonzero in `cancel` stops the extraction with
  // "Extraction terminated by user!" before the chunk is written.
  virtual void Progress(std::int32_t /*percent*/, std::int32_t /*bytes*/, std::int32_t& /*cancel*/) {}
  // Volume `volume` (the number in the volume pattern) is missing. True:
  // look for it again; false: fail with "Disk #%d needed!". An error raised
  // here ends the extraction as well.
  virtual bool DiskMissing(std::uint8_t /*volume*/) { return false; }
  // The patch step is about to apply `total` patch-stream bytes; then
  // PatchConsumed hears the applier. Unless overridden, they go to Progress
  // as the file's percentage (on from 50), whose answer is not looked at:
  // the patch step cannot be cancelled.
  virtual void PatchStarted(std::int32_t total) {
    patchDone_ = 0;
    patchTotal_ = total;
  }
  void PatchConsumed(std::int32_t consumed) override {
    // Only the first of a delta block's reports brings new bytes.
    if (consumed == 0) return;
    patchDone_ += consumed;
    std::int32_t ignored = 0;
    Progress(PatchPercent(patchDone_, patchTotal_), 0, ignored);
  }

 protected:
  ~ExtractionHooks() = default;

 private:
  std::int32_t patchDone_ = 0;
  std::int32_t patchTotal_ = 0;
};

// Makes the decoder of a record's gathered stored data: a stream of its
// decompressed bytes, which the decode loop rewinds before its first read
// (a rewind that also brings the stored data back to its start).
class DecoderFactory {
 public:
  virtual std::unique_ptr<TStream> MakeDecoder(TStream& stored) = 0;

 protected:
  ~DecoderFactory() = default;
};

// What the internal entry points take where the exported functions follow
// fixed rules.
struct ExtractionContext {
  // Where the work file that takes a record's stored data goes: a new one
  // beside this name for every record, gone after it (FileMode::
  // CreateWorkFile; the exported functions: "bzin.tmp" in the system
  // temporary folder). Required.
  const char* WorkFile = nullptr;
  // Null: as ExtractionHooks' defaults.
  ExtractionHooks* Hooks = nullptr;
  // Null: TBZDecompressionStream.
  DecoderFactory* Decoders = nullptr;
};

}  // namespace bzip2arc
