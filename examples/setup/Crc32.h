// The common reflected CRC-32 (polynomial 0xEDB88320), as gzip and zip use it,
// so that a script can check the files the report lists.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sample {

class Crc32 {
 public:
  void Update(const void* data, std::size_t length);
  std::uint32_t Value() const { return ~state_; }

 private:
  std::uint32_t state_ = 0xFFFFFFFFu;
};

}  // namespace sample
