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
  if (count != 0 && Read(buffer, count) != count) RaiseReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) RaiseWriteError();
}

void TStream::RaiseReadError() const {
  EReadError error("Stream read error");
  AddFailureDetail(error);
  throw error;
}

void TStream::RaiseWriteError() const {
  EStreamError error("Stream write error");
  AddFailureDetail(error);
  throw error;
}

TFileStream::~TFileStream() { Close(); }

void TFileStream::AddFailureDetail(Exception& error) const { error.SetDetail(name_.View(), error_); }

void TFileStream::Close() noexcept {
  if (open_) {
    platform::CloseFile(handle_);
    open_ = false;
  }
}

namespace platform {

void RaiseFileError(FileMode mode, const char* fileName, std::string_view detail, int systemError) {
  MessageText message;
  message.Append(mode == FileMode::OpenReadShared ? "Cannot open file \"" : "Cannot create file \"")
      .Append(fileName)
      .Append('"');
  if (mode == FileMode::OpenReadShared) {
    EFOpenError error(message);
    error.SetDetail(detail, systemError);
    throw error;
  }
  EStreamError error(message);
  error.SetDetail(detail, systemError);
  throw error;
}

}  // namespace platform

}  // namespace bzip2arc
