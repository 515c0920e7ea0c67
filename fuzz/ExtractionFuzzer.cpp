// A whole extraction: the input is the logical byte sequence of a set, cut
// into volumes by its own header's sizes (clamped, at most 8 volumes), written
// to a private folder and extracted into another. Nothing may be written
// outside the destination, and no work file may stay behind.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "archive/core/ArchiveFormat.h"
#include "archive/core/DirectoryKey.h"
#include "archive/core/SetExtraction.h"

namespace {

// Stops decompression bombs: about 10 MB of output per input.
class LimitOutput final : public bzip2arc::ExtractionHooks {
 public:
  void Progress(std::int32_t, std::int32_t, std::int32_t& cancel) override { cancel = ++reports_ > 1000; }

 private:
  int reports_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto volumes = fuzzsupport::FreshFolder("vol");
  const auto destination = fuzzsupport::FreshFolder("dest");

  bzip2arc::ArchiveHeader header;
  if (size >= bzip2arc::kArchiveHeaderSize) bzip2arc::DecodeArchiveHeader(data, header);
  const auto total = static_cast<std::int64_t>(size);
  std::int64_t share = std::clamp<std::int64_t>(header.FirstVolumeSize, 1, std::max<std::int64_t>(total, 1));
  const std::int64_t later = std::clamp<std::int64_t>(header.VolumeSize, 1, std::max<std::int64_t>(total, 1));
  std::int64_t start = 0;
  for (int volume = 0; volume < 8 && (start < total || volume == 0); ++volume) {
    const std::int64_t end = volume == 7 ? total : std::min(total, start + share);
    fuzzsupport::WriteFile(volumes / ("setup" + std::to_string(volume) + ".lib"), data + start,
                           static_cast<std::size_t>(end - start));
    start = end;
    share = later;
  }

  const std::string pattern = (volumes / "setup%d.lib").string();
  const std::string workFile = (fuzzsupport::ScratchRoot() / "tmp" / "bzin.tmp").string();
  LimitOutput hooks;
  try {
    bzip2arc::ExtractSet(pattern.c_str(), bzip2arc::kDirectoryKey, destination.c_str(), {workFile.c_str(), &hooks, nullptr});
  } catch (const bzip2arc::Exception&) {
  }
  fuzzsupport::ExpectOnlyIn({"vol", "dest"});
  return 0;
}
