#include "MemoryStream.h"

#include <algorithm>
#include <cstring>

#include "Error.h"

namespace bzip2arc {

void TMemoryStream::SetSize(std::int32_t newSize) {
  if (newSize < 0) throw EStreamError("Stream set size error");
  bytes_.resize(static_cast<std::size_t>(newSize));
  position_ = std::min(position_, newSize);
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  const auto size = static_cast<std::int32_t>(bytes_.size());
  if (count <= 0 || position_ >= size) return 0;
  const std::int32_t n = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::size_t end = static_cast<std::size_t>(position_) + static_cast<std::size_t>(count);
  if (end > static_cast<std::size_t>(INT32_MAX)) throw EStreamError("Stream write error");
  if (end > bytes_.size()) bytes_.resize(end);
  std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = static_cast<std::int32_t>(end);
  return count;
}

std::int32_t TMemoryStream::Seek(std::int32_t offset, std::uint16_t origin) {
  std::int64_t base = 0;
  if (origin == soCurrent) base = position_;
  else if (origin == soEnd) base = static_cast<std::int64_t>(bytes_.size());
  const std::int64_t target = base + offset;
  if (target < 0 || target > INT32_MAX) throw EStreamError("Stream seek error");
  position_ = static_cast<std::int32_t>(target);
  return position_;
}

}  // namespace bzip2arc
