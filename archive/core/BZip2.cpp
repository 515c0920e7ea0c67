#include "BZip2.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(_WIN32) && !defined(WIN32_LEAN_AND_MEAN)
#define WIN32_LEAN_AND_MEAN  // bzlib.h includes windows.h there
#endif
#include <bzlib.h>

#include "BZip2Guard.h"

namespace bzip2arc {

static_assert(sizeof(bz_stream) == kBZLibraryStreamSize, "bz_stream storage has the wrong size");
static_assert(alignof(bz_stream) <= alignof(void*), "bz_stream storage is not aligned enough");

namespace {

constexpr std::int32_t kSkipPieceSize = 4096;

bz_stream& Record(unsigned char (&storage)[kBZLibraryStreamSize]) {
  return *std::launder(reinterpret_cast<bz_stream*>(storage));
}

// libbz2 is C: nothing may unwind through it from here, so running out of
// memory is reported as a null block, which it turns into BZ_MEM_ERROR.
void* AllocateForLibrary(void*, int items, int size) {
  if (items < 0 || size < 0) return nullptr;
  const auto count = static_cast<std::size_t>(items);
  const auto each = static_cast<std::size_t>(size);
  if (each != 0 && count > SIZE_MAX / each) return nullptr;
  return std::malloc(count * each);
}

void FreeForLibrary(void*, void* block) { std::free(block); }

[[noreturn]] void InvalidOperation() { throw EBZDecompressionError("Invalid stream operation"); }

void Check(int result) {
  if (result < 0) {
    MessageText text("error ");
    throw EBZDecompressionError(text.Append(result));
  }
}

}  // namespace

TCustomBZip2Stream::TCustomBZip2Stream(TStream& source)
    : Source(source), SourcePosition(source.Position()) {
  bz_stream& record = *::new (static_cast<void*>(LibraryStream)) bz_stream{};
  record.bzalloc = AllocateForLibrary;
  record.bzfree = FreeForLibrary;
  record.next_in = reinterpret_cast<char*>(InputBuffer);
  record.avail_in = 0;
}

void TCustomBZip2Stream::NotifyProgress(TCustomBZip2Stream& sender) {
  if (ProgressHandler.Code != nullptr) ProgressHandler.Code(ProgressHandler.Object, sender);
}

TBZDecompressionStream::TBZDecompressionStream(TStream& source) : TCustomBZip2Stream(source) {
  Check(CallLibbz2([this] { return BZ2_bzDecompressInit(&Record(LibraryStream), 0, 0); }));
}

TBZDecompressionStream::~TBZDecompressionStream() { BZ2_bzDecompressEnd(&Record(LibraryStream)); }

std::int32_t TBZDecompressionStream::Read(void* buffer, std::int32_t count) {
  bz_stream& record = Record(LibraryStream);
  // A negative count would become a huge output space for the decoder.
  if (count < 0) count = 0;
  record.next_out = static_cast<char*>(buffer);
  record.avail_out = static_cast<unsigned>(count);
  // The source may be shared with other code that moved it since.
  if (Source.Position() != SourcePosition) Source.SetPosition(SourcePosition);
  while (record.avail_out > 0) {
    if (record.avail_in == 0) {
      const std::int32_t got = Source.Read(InputBuffer, kBZInputBufferSize);
      if (got <= 0) return count - static_cast<std::int32_t>(record.avail_out);
      record.avail_in = static_cast<unsigned>(got);
      record.next_in = reinterpret_cast<char*>(InputBuffer);
      SourcePosition = Source.Position();
    }
    Check(CallLibbz2([&record] { return BZ2_bzDecompress(&record); }));
    NotifyProgress(*this);
  }
  return count;
}

std::int32_t TBZDecompressionStream::Write(const void*, std::int32_t) { InvalidOperation(); }

std::int32_t TBZDecompressionStream::Seek(std::int32_t offset, std::uint16_t origin) {
  bz_stream& record = Record(LibraryStream);
  const auto position = static_cast<std::int32_t>(record.total_out_lo32);
  if (offset == 0 && origin == soBeginning) {
    Check(CallLibbz2([&record] { return BZ2_bzDecompressEnd(&record); }));
    Check(CallLibbz2([&record] { return BZ2_bzDecompressInit(&record, 0, 0); }));
    record.next_in = reinterpret_cast<char*>(InputBuffer);
    record.avail_in = 0;
    Source.SetPosition(0);
    SourcePosition = 0;
  } else if ((origin == soCurrent && offset >= 0) || (origin == soBeginning && offset > position)) {
    std::int64_t skip = origin == soCurrent ? offset : std::int64_t{offset} - position;
    std::uint8_t scratch[kSkipPieceSize];
    while (skip > 0) {
      const std::int32_t piece = skip < kSkipPieceSize ? static_cast<std::int32_t>(skip) : kSkipPieceSize;
      ReadBuffer(scratch, piece);
      skip -= piece;
    }
  } else {
    InvalidOperation();
  }
  return static_cast<std::int32_t>(record.total_out_lo32);
}


void RaiseCompressionError(int code) {
  MessageText text("Compression Error ");
  throw EBZip2Error(text.Append(code));
}

}  // namespace bzip2arc

#ifdef BZ_NO_STDIO
extern "C" void bz_internal_error(int errcode) {
  // Outside a guarded call there is nowhere safe to go.
  bzip2arc::InternalErrorTarget& target = bzip2arc::CurrentInternalErrorTarget();
  if (target.Jump == nullptr) std::abort();
  target.Code = errcode;
  longjmp(*target.Jump, 1);
}
#endif
