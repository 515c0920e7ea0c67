// General byte streams: the abstract TStream and its file form TFileStream.
// Positions and counts are 32-bit, like every offset of the archive format.
#pragma once

#include <cstdint>

namespace bzip2arc {

// Seek origins.
constexpr std::uint16_t soBeginning = 0;
constexpr std::uint16_t soCurrent = 1;
constexpr std::uint16_t soEnd = 2;

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Virtual operations in their historical order; SetSize does nothing here.
  virtual void SetSize(std::int32_t newSize);
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Seek(std::int32_t offset, std::uint16_t origin) = 0;

  std::int32_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int32_t position) { Seek(position, soBeginning); }
  // Seeks to the end and back.
  std::int32_t Size();

  // Exact transfers: a short count fails (EReadError, EStreamError).
  void ReadBuffer(void* buffer, std::int32_t count);
  void WriteBuffer(const void* buffer, std::int32_t count);
};

// How a TFileStream opens its file.
enum class FileMode {
  // Existing file, read only; others may read and write it meanwhile.
  OpenReadShared,
  // New file (an existing one is replaced), read and write, not shared.
  Create,
  // A new work file beside `fileName`, never an existing file or a link of
  // that name, that no other extraction shares and that does not outlive the
  // process, even a killed one: on POSIX it has no name at all (O_TMPFILE, or
  // a unique one unlinked at once); on Windows it gets a unique name
  // ("bzin.tmp" gives "bzin<number>.tmp") and is deleted when its handle
  // closes. Nothing is ever created or deleted under `fileName` itself.
  CreateWorkFile,
};

#ifdef _WIN32
using FileHandle = void*;
#else
using FileHandle = int;
#endif

class TFileStream : public TStream {
 public:
  // Fails with EFOpenError (OpenReadShared) or EStreamError (the others).
  TFileStream(const char* fileName, FileMode mode);
  ~TFileStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int32_t Seek(std::int32_t offset, std::uint16_t origin) override;

  // Closes the file now; later calls of Close do nothing. Never throws.
  void Close() noexcept;
  FileHandle Handle() const { return handle_; }

 private:
  FileHandle handle_;
  bool open_ = false;
};

}  // namespace bzip2arc
