#include "RecordDecoding.h"

#include <memory>

#include "BZip2.h"
#include "Percent.h"

namespace bzip2arc {

namespace {

[[noreturn]] void RaiseCorrupted(const DirectoryRecord& record) {
  RaiseNamed("File ", record.NameView(), " is corrupted");
}

}  // namespace

std::unique_ptr<TStream> MakeDecoder(DecoderFactory* factory, TStream& stored) {
  if (factory != nullptr) return factory->MakeDecoder(stored);
  return std::make_unique<TBZDecompressionStream>(stored);
}

bool DecodeRecord(TStream& decoder, const DirectoryRecord& record, ExtractionHooks* hooks, DecodedSink* sink) {
  decoder.Seek(0, soBeginning);
  if (sink != nullptr) sink->Prepare();
  const double scale = record.Kind == kKindFile ? 100 : 50;

  const auto chunk = std::make_unique<std::uint8_t[]>(kChunkSize);
  std::int32_t cancel = 0;
  std::int64_t total = 0;
  std::int32_t got = 0;
  do {
    got = decoder.Read(chunk.get(), kChunkSize);
    total += got;
    if (total > INT32_MAX) RaiseCorrupted(record);
    if (hooks != nullptr) {
      const std::int32_t percent =
          record.Size != 0 ? RoundPercent(static_cast<double>(total) / record.Size * scale) : 100;
      hooks->Progress(percent, static_cast<std::int32_t>(total), cancel);
    }
    if (cancel != 0) throw EArchiveError(kTerminatedByUser);
    if (sink != nullptr && !sink->Write(chunk.get(), got)) return false;
  } while (got >= kChunkSize);

  if (total < record.Size) RaiseCorrupted(record);
  return true;
}

}  // namespace bzip2arc
