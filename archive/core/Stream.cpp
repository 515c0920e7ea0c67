#include "Stream.h"

#include "Error.h"

namespace bzip2arc {

void TStream::SetSize(std::int32_t) {}

std::int32_t TStream::Size() {
  const std::int32_t position = Seek(0, soCurrent);
  const std::int32_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

}  // namespace bzip2arc
