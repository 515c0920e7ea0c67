#include "BlockJoiner.h"

#include "BlockCompressor.h"
#include "StreamFormat.h"

namespace bzip2arc::bzip2 {

void BlockJoiner::Begin() {
  if (begun_) return;
  for (const char c : {'B', 'Z', 'h', level_}) joined_.Append(static_cast<std::uint8_t>(c), 8);
  begun_ = true;
  combined_ = 0;
}

void BlockJoiner::Add(const std::uint8_t* bytes, std::int64_t first, std::int64_t end, std::uint32_t crc) {
  Begin();
  joined_.AppendBits(bytes, first, end - first);
  combined_ = CombineCrc(combined_, crc);
}

void BlockJoiner::Add(const CompressedBlock& block) {
  Add(block.Stream.data(), block.FirstBit, block.EndBit, block.Crc);
}

void BlockJoiner::End() {
  Begin();
  joined_.Append(kEndOfStreamMagic, kMagicBits);
  joined_.Append(combined_, kCrcBits);
  joined_.PadToByte();
  begun_ = false;
}

}  // namespace bzip2arc::bzip2
