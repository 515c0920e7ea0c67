#include "ParallelExtract.h"

#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <vector>

#include "StoredData.h"
#include "Threads.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/BZip2.h"
#include "archive/core/FileExtraction.h"
#include "archive/core/LibraryInterface.h"
#include "archive/core/MemoryStream.h"
#include "archive/core/Percent.h"

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

// How far a worker got with a record; a failure keeps the stage it hit, which
// tells the writer what DecompressFile would have done before failing.
enum class Stage { Check, Gather, Init, Decode, Done };

struct Slot {
  bool Ready = false;
  bool ViaLibrary = false;  // the writer extracts it with DecompressFile
  std::int64_t Cost = 0;    // bytes held in the window
  std::unique_ptr<std::uint8_t[]> Data;
  std::int64_t Length = 0;  // decoded bytes, up to a failure
  Stage Reached = Stage::Check;
  std::exception_ptr Error;
};

std::int64_t DecodedCapacity(const DirectoryRecord& record) {
  return (record.Size > 0 ? record.Size : 0) + bzip2arc::kChunkSize;
}

// The workers and the window of records they have taken on.
class Decoders {
 public:
  Decoders(const char* volumePattern, const ArchiveHeader& header, const DirectoryList& list,
           const ParallelExtractOptions& options)
      : volumePattern_(volumePattern), header_(header), list_(list), window_(options.WindowBytes) {
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

  std::int64_t CostOf(const DirectoryRecord& record) const {
    return StoredLength(record) + DecodedCapacity(record);
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
          slots_.push_back(std::make_unique<Slot>());
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
          const std::int64_t held = slot->Data ? DecodedCapacity(list_[index]) : 0;
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

  // What DecompressFile does up to the end of its decompression loop, into memory.
  void Decode(const DirectoryRecord& record, Slot& slot) {
    Stage stage = Stage::Check;
    try {
      bzip2arc::CheckDirectoryRecord(record, header_);
      stage = Stage::Gather;
      bzip2arc::TMemoryStream stored;
      stored.Bytes().reserve(static_cast<std::size_t>(StoredLength(record)));
      bzip2arc::GatherStoredData(volumePattern_, record, header_, nullptr, stored);
      stage = Stage::Init;
      const auto decoder = std::make_unique<bzip2arc::TBZDecompressionStream>(stored);
      decoder->Seek(0, bzip2arc::soBeginning);
      stage = Stage::Decode;
      const std::int64_t capacity = DecodedCapacity(record);
      slot.Data = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(capacity));
      std::int32_t got = 0;
      do {
        if (stop_) return;
        if (slot.Length + bzip2arc::kChunkSize > capacity) {
          // Longer than its size says: rare, allowed, and not worth a window of its own.
          slot.ViaLibrary = true;
          slot.Data.reset();
          slot.Length = 0;
          return;
        }
        got = decoder->Read(slot.Data.get() + slot.Length, bzip2arc::kChunkSize);
        if (slot.Length + got > INT32_MAX) bzip2arc::RaiseCorrupted(record);
        slot.Length += got;
      } while (got >= bzip2arc::kChunkSize);
      stage = Stage::Done;
    } catch (...) {
      slot.Error = std::current_exception();
    }
    slot.Reached = stage;
  }

  const char* volumePattern_;
  const ArchiveHeader& header_;
  const DirectoryList& list_;
  const std::int64_t window_;

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

// DecompressFile from the decoded bytes on: write, check, patch, clean up.
void WriteDecoded(const Slot& slot, const DirectoryRecord& record, const char* path) {
  if (slot.Reached == Stage::Check || slot.Reached == Stage::Gather) std::rethrow_exception(slot.Error);
  bzip2arc::RecordOutput output(record, path);
  if (slot.Reached == Stage::Init) std::rethrow_exception(slot.Error);
  output.Create();
  constexpr std::int64_t kPiece = 1 << 24;
  for (std::int64_t done = 0; done < slot.Length; done += kPiece) {
    const std::int64_t piece = slot.Length - done < kPiece ? slot.Length - done : kPiece;
    output.Write(slot.Data.get() + done, static_cast<std::int32_t>(piece));
  }
  if (slot.Error) std::rethrow_exception(slot.Error);
  if (slot.Length < record.Size) bzip2arc::RaiseCorrupted(record);
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

  Decoders decoders(volumePattern.c_str(), header, list, options);
  for (std::size_t i = 0; i < count; ++i) {
    const DirectoryRecord record = list[i];
    const auto path = bzip2arc::CheckedDestinationPath(destinationFolder.c_str(), record, header);
    const Slot& slot = decoders.WaitFor(i);
    if (slot.ViaLibrary) {
      bzip2arc::DecompressFile(volumePattern.c_str(), path.c_str(), record, header, nullptr, nullptr);
    } else {
      WriteDecoded(slot, record, path.c_str());
    }
    decoders.Release();
    if (options.Progress) options.Progress(bzip2arc::RoundPercent(static_cast<double>(i + 1) * 100.0 / count));
  }
}

}  // namespace arcset
