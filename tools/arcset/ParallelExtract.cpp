#include "ParallelExtract.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <vector>

#include "InMemory.h"
#include "Locations.h"
#include "Threads.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/FileExtraction.h"
#include "archive/core/LibraryInterface.h"
#include "archive/core/MemoryStream.h"
#include "archive/core/Percent.h"
#include "archive/core/RecordDecoding.h"
#include "archive/core/RecordOutput.h"
#include "archive/core/StoredData.h"

namespace arcset {

namespace {

using bzip2arc::ArchiveHeader;
using bzip2arc::ConditionVariable;
using bzip2arc::DirectoryList;
using bzip2arc::DirectoryRecord;
using bzip2arc::Lock;
using bzip2arc::Mutex;
using bzip2arc::Thread;

// Bounds the bookkeeping for sets of many tiny records.
constexpr std::size_t kMaxRecordsInFlight = 256;

// The window a record's decoded content takes: its Size (content beyond it goes
// through the library instead).
std::int64_t DecodedBytes(const DirectoryRecord& record) { return std::max<std::int32_t>(record.Size, 0); }

// What a worker made of one record, step by step as ExtractRecord takes them.
struct Slot {
  explicit Slot(std::int64_t decodedLimit) : Decoded(decodedLimit) {}

  bool Ready = false;
  bool ViaLibrary = false;  // the writer extracts it with the library's ExtractRecord
  std::int64_t Cost = 0;    // bytes held in the window
  std::exception_ptr GatherFailure;
  MemorySink Decoded;  // what the decode loop gave its sink
  std::exception_ptr DecodeFailure;
};

// The workers' hooks: nothing to report and nobody to ask for a disk, but a
// stop when the writer gives up.
class StopWhenAsked final : public bzip2arc::ExtractionHooks {
 public:
  explicit StopWhenAsked(const std::atomic<bool>& stop) : stop_(stop) {}
  void Progress(std::int32_t, std::int32_t, std::int32_t& cancel) override { cancel = stop_ ? 1 : 0; }

 private:
  const std::atomic<bool>& stop_;
};

// The workers and the window of records they have taken on.
class Decoders {
 public:
  Decoders(const char* volumePattern, const ArchiveHeader& header, const DirectoryList& list,
           const ParallelExtractOptions& options)
      : volumePattern_(volumePattern),
        header_(header),
        list_(list),
        window_(options.WindowBytes),
        decoderFactory_(options.Decoders) {
    try {
      const unsigned threads = options.Threads > 0 ? options.Threads : 1;
      for (unsigned i = 0; i < threads; ++i) workers_.push_back(std::make_unique<Thread>([this] { Work(); }));
    } catch (...) {
      Stop();
      throw;
    }
  }

  ~Decoders() { Stop(); }

  Decoders(const Decoders&) = delete;
  Decoders& operator=(const Decoders&) = delete;

  // Waits until record `index` is decoded (or has failed).
  Slot& WaitFor(std::size_t index) {
    Lock lock(mutex_);
    changed_.Wait(lock, [&] {
      return fatal_ != nullptr || (index < first_ + slots_.size() && slots_[index - first_]->Ready);
    });
    if (fatal_ != nullptr) std::rethrow_exception(fatal_);
    return *slots_[index - first_];
  }

  // The writer is done with the oldest record: its memory goes back to the window.
  void Release() {
    {
      Lock lock(mutex_);
      inFlight_ -= slots_.front()->Cost;
      slots_.pop_front();
      ++first_;
    }
    changed_.NotifyAll();
  }

 private:
  void Stop() {
    {
      Lock lock(mutex_);
      stop_ = true;
    }
    changed_.NotifyAll();
    workers_.clear();  // joins
  }

  static std::int64_t CostOf(const DirectoryRecord& record) {
    return static_cast<std::int64_t>(StoredBytes(record)) + DecodedBytes(record);
  }

  // Under the lock: may the next record be taken on now?
  bool CanTakeNext() const {
    if (slots_.size() >= kMaxRecordsInFlight) return false;
    const std::int64_t cost = CostOf(list_[next_]);
    return cost > window_ || inFlight_ + cost <= window_;
  }

  void Work() {
    try {
      for (;;) {
        std::size_t index = 0;
        Slot* slot = nullptr;
        bool decode = false;  // once Ready, the slot belongs to the writer
        {
          Lock lock(mutex_);
          changed_.Wait(lock, [&] { return stop_ || next_ == list_.Count() || CanTakeNext(); });
          if (stop_ || next_ == list_.Count()) return;
          index = next_++;
          slots_.push_back(std::make_unique<Slot>(DecodedBytes(list_[index])));
          slot = slots_.back().get();
          const std::int64_t cost = CostOf(list_[index]);
          if (cost > window_) {
            slot->ViaLibrary = true;
            slot->Ready = true;
          } else {
            slot->Cost = cost;
            inFlight_ += cost;
            decode = true;
          }
        }
        if (decode) {
          Decode(list_[index], *slot);
          Lock lock(mutex_);
          const std::int64_t held = static_cast<std::int64_t>(slot->Decoded.Bytes().capacity());
          inFlight_ += held - slot->Cost;
          slot->Cost = held;
          slot->Ready = true;
        }
        changed_.NotifyAll();
      }
    } catch (...) {
      {
        Lock lock(mutex_);
        if (fatal_ == nullptr) fatal_ = std::current_exception();
      }
      changed_.NotifyAll();
    }
  }

  // ExtractRecord's steps up to the end of its decode loop, into memory; a
  // failure is kept with the step it ended.
  void Decode(const DirectoryRecord& record, Slot& slot) {
    bzip2arc::TMemoryStream stored;
    try {
      bzip2arc::CheckDirectoryRecord(record, header_);
      stored.Bytes().reserve(StoredBytes(record));
      bzip2arc::GatherStoredData(volumePattern_, record, header_, nullptr, stored);
    } catch (...) {
      slot.GatherFailure = std::current_exception();
      return;
    }
    try {
      slot.Decoded.Bytes().reserve(static_cast<std::size_t>(DecodedBytes(record)));
      const std::unique_ptr<bzip2arc::TStream> decoder = bzip2arc::MakeDecoder(decoderFactory_, stored);
      StopWhenAsked hooks(stop_);
      if (!bzip2arc::DecodeRecord(*decoder, record, &hooks, &slot.Decoded)) {
        // Longer than its size says: rare, allowed, and not worth a window of its own.
        slot.ViaLibrary = true;
        slot.Decoded = MemorySink();
      }
    } catch (...) {
      slot.DecodeFailure = std::current_exception();
    }
  }

  const char* volumePattern_;
  const ArchiveHeader& header_;
  const DirectoryList& list_;
  const std::int64_t window_;
  bzip2arc::DecoderFactory* const decoderFactory_;

  Mutex mutex_;
  ConditionVariable changed_;
  std::size_t next_ = 0;   // next record to take on
  std::size_t first_ = 0;  // record of slots_.front()
  std::deque<std::unique_ptr<Slot>> slots_;
  std::int64_t inFlight_ = 0;
  std::atomic<bool> stop_{false};
  std::exception_ptr fatal_;
  std::vector<std::unique_ptr<Thread>> workers_;
};

// ExtractRecord's output side for a record the workers decoded: the same
// steps in the same order, fed from memory, so that a failure leaves what
// ExtractRecord leaves.
void WriteDecoded(const Slot& slot, const DirectoryRecord& record, const char* path) {
  if (slot.GatherFailure) std::rethrow_exception(slot.GatherFailure);
  bzip2arc::RecordOutput output(record, path);
  slot.Decoded.WriteTo(output);
  if (slot.DecodeFailure) std::rethrow_exception(slot.DecodeFailure);
  output.Finish(nullptr);
}

}  // namespace

void ParallelExtract(const std::string& volumePattern, const std::string& key, const std::string& destinationFolder,
                     const ParallelExtractOptions& options) {
  DirectoryList list;
  ArchiveHeader header;
  bzip2arc::ReadArchive(volumePattern.c_str(), key.c_str(), list, header);
  const std::size_t count = list.Count();
  if (count == 0) return;

  const std::string workFile = PrivateWorkFile();
  const bzip2arc::ExtractionContext viaLibrary{workFile.c_str(), nullptr, options.Decoders};
  Decoders decoders(volumePattern.c_str(), header, list, options);
  for (std::size_t i = 0; i < count; ++i) {
    const DirectoryRecord& record = list[i];
    const auto path = bzip2arc::CheckedDestinationPath(destinationFolder.c_str(), record, header);
    const Slot& slot = decoders.WaitFor(i);
    if (slot.ViaLibrary) {
      bzip2arc::ExtractRecord(volumePattern.c_str(), path.c_str(), record, header, viaLibrary);
    } else {
      WriteDecoded(slot, record, path.c_str());
    }
    decoders.Release();
    if (options.Progress) options.Progress(bzip2arc::RoundPercent(static_cast<double>(i + 1) * 100.0 / count));
  }
}

}  // namespace arcset
