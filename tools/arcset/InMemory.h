// What `verify` and the parallel extraction hold in memory: a record's stored
// data (in a private work file when it is large) and its decoded bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/RecordDecoding.h"
#include "archive/core/Stream.h"

namespace arcset {

// What the stored data of `record` takes in memory (nothing for reversed
// offsets, which the record checks reject).
std::size_t StoredBytes(const bzip2arc::DirectoryRecord& record);

// The stored data of `record`, gathered in memory when it holds no more than
// `memoryLimit` bytes and into a private work file when it does. Missing
// volumes fail ("Disk #N needed!"): nobody is asked for them.
std::unique_ptr<bzip2arc::TStream> GatherToStream(const char* volumePattern, const bzip2arc::DirectoryRecord& record,
                                                  const bzip2arc::ArchiveHeader& header, std::int64_t memoryLimit);

// The decode loop's sink in memory: the bytes it was given, up to `limit`
// (beyond that the decoding is given up), and whether it got as far as
// preparing its sink.
class MemorySink final : public bzip2arc::DecodedSink {
 public:
  explicit MemorySink(std::int64_t limit = INT64_MAX) : limit_(limit) {}

  void Prepare() override { prepared_ = true; }
  bool Write(const std::uint8_t* data, std::int32_t count) override;

  // Does to `sink` what the decode loop did here.
  void WriteTo(bzip2arc::DecodedSink& sink) const;

  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::int64_t limit_;
  bool prepared_ = false;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace arcset
