#include "Stream.h"

#include "Error.h"
#include "Platform.h"

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
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

TFileStream::~TFileStream() { Close(); }

void TFileStream::Close() noexcept {
  if (open_) {
    platform::CloseFile(handle_);
    open_ = false;
  }
}

namespace platform {

void RaiseFileError(FileMode mode, const char* fileName) {
  MessageText message;
  message.Append(mode == FileMode::OpenReadShared ? "Cannot open file \"" : "Cannot create file \"")
      .Append(fileName)
      .Append('"');
  if (mode == FileMode::OpenReadShared) throw EFOpenError(message);
  throw EStreamError(message);
}

}  // namespace platform

}  // namespace bzip2arc
