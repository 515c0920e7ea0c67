// bzip2 decompression as a read-only byte stream over libbz2.
//
// libbz2's bz_stream record lives inside the object as opaque storage, so that
// bzlib.h (which on Windows pulls in windows.h and stdcall declarations) stays
// private to BZip2.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Error.h"
#include "Stream.h"

namespace bzip2arc {

class EBZip2Error : public Exception {
 public:
  using Exception::Exception;
};

class EBZDecompressionError : public EBZip2Error {
 public:
  using EBZip2Error::EBZip2Error;
};

class TCustomBZip2Stream;

// A method bound to its object: Code is called with Object and the sender.
struct TBZProgressEvent {
  void (*Code)(void* object, TCustomBZip2Stream& sender) = nullptr;
  void* Object = nullptr;
};

// bz_stream: two halves (input, output) of a pointer and three unsigned
// counts, each padded to pointer alignment, then four pointers (state,
// allocator hooks, opaque). BZip2.cpp checks this against bzlib.h.
constexpr std::size_t kBZStreamHalfSize =
    (sizeof(void*) + 3 * sizeof(unsigned) + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
constexpr std::size_t kBZLibraryStreamSize = 2 * kBZStreamHalfSize + 4 * sizeof(void*);
constexpr std::int32_t kBZInputBufferSize = 65536;

// State shared by bzip2 streams. The object holds a 64 KiB input buffer:
// allocate it on the heap.
class TCustomBZip2Stream : public TStream {
 protected:
  // Notes the source's current position and installs the allocator hooks.
  explicit TCustomBZip2Stream(TStream& source);

  virtual void NotifyProgress(TCustomBZip2Stream& sender);

  TStream& Source;  // not owned
  std::int32_t SourcePosition;
  TBZProgressEvent ProgressHandler;  // called by NotifyProgress when set; nothing sets it
  alignas(void*) unsigned char LibraryStream[kBZLibraryStreamSize];
  std::uint8_t InputBuffer[kBZInputBufferSize];
};

// Hands out the decompressed bytes of the bzip2 stream in its source. Only
// reading forward, skipping forward and rewinding to the start are supported.
class TBZDecompressionStream : public TCustomBZip2Stream {
 public:
  // Fails with EBZDecompressionError when the decoder cannot be set up.
  explicit TBZDecompressionStream(TStream& source);
  ~TBZDecompressionStream() override;

  // Comes back short only when the source is exhausted.
  std::int32_t Read(void* buffer, std::int32_t count) override;
  // Always fails with "Invalid stream operation".
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  // seek(0, soBeginning) rewinds, also putting the source back to position 0;
  // seeks beyond the current position skip forward; anything else fails.
  std::int32_t Seek(std::int32_t offset, std::uint16_t origin) override;
};

}  // namespace bzip2arc
