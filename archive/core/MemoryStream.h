// A byte stream held in memory (tests, tools and fuzz targets).
#pragma once

#include <cstdint>
#include <vector>

#include "Stream.h"

namespace bzip2arc {

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  void SetSize(std::int32_t newSize) override;
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int32_t Seek(std::int32_t offset, std::uint16_t origin) override;

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::int32_t position_ = 0;
};

}  // namespace bzip2arc
