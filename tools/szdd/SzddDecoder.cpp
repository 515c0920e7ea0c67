#include "SzddDecoder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <utility>

#include "SzddFormat.h"

namespace bzip2arc {
namespace {

class Expander {
 public:
  explicit Expander(std::span<const std::uint8_t> data) : data_(data) { window_.fill(kSzddWindowFill); }

  // Expands items until `limit` bytes are out or the data ends at an item
  // boundary; a reference is cut short at the limit.
  void Run(SzddStream& stream, std::size_t limit) {
    auto& out = stream.Bytes;
    // The data can't expand more than 18 bytes per 2 it holds.
    out.reserve(std::min(limit, data_.size() * (kSzddMaxMatch / 2) + 1));
    while (out.size() < limit && at_ < data_.size()) {
      if (flagsLeft_ == 0) {
        flags_ = data_[at_++];
        flagsLeft_ = kSzddItemsPerGroup;
        ++stream.FlagBytes;
        continue;
      }
      const bool literal = (flags_ & 1) != 0;
      flags_ >>= 1;
      --flagsLeft_;
      if (literal) {
        Put(out, data_[at_++]);
        ++stream.Literals;
        continue;
      }
      if (data_.size() - at_ < 2) throw std::runtime_error("SZDD data ends inside a reference");
      const std::uint8_t b0 = data_[at_++];
      const std::uint8_t b1 = data_[at_++];
      std::size_t source = b0 | (std::size_t{b1 & 0xF0u} << 4);
      const std::size_t length = (b1 & 0x0Fu) + kSzddMinMatch;
      for (std::size_t k = 0; k < length && out.size() < limit; ++k) {
        // Read before writing: the slot may be the one this step overwrites.
        Put(out, window_[source]);
        source = (source + 1) & kSzddWindowMask;
      }
      ++stream.References;
    }
  }

 private:
  void Put(std::vector<std::uint8_t>& out, std::uint8_t b) {
    out.push_back(b);
    window_[position_] = b;
    position_ = (position_ + 1) & kSzddWindowMask;
  }

  std::span<const std::uint8_t> data_;
  std::size_t at_ = 0;
  std::array<std::uint8_t, kSzddWindowSize> window_;
  std::size_t position_ = kSzddWindowStart;
  unsigned flags_ = 0;
  std::size_t flagsLeft_ = 0;
};

}  // namespace

SzddHeader ReadSzddHeader(std::span<const std::uint8_t> file) {
  if (file.size() < kSzddHeaderSize || !std::equal(std::begin(kSzddMagic), std::end(kSzddMagic), file.begin())) {
    throw std::runtime_error("not an SZDD file");
  }
  SzddHeader header;
  header.Mode = file[kSzddModeOffset];
  header.MissingChar = file[kSzddMissingCharOffset];
  for (std::size_t k = 0; k < 4; ++k) {
    header.ExpandedLength |= std::uint32_t{file[kSzddLengthOffset + k]} << (8 * k);
  }
  if (header.Mode != kSzddModeA) throw std::runtime_error("unknown SZDD compression mode");
  return header;
}

std::vector<std::uint8_t> SzddDecode(std::span<const std::uint8_t> file) {
  const SzddHeader header = ReadSzddHeader(file);
  SzddStream stream;
  Expander(file.subspan(kSzddHeaderSize)).Run(stream, header.ExpandedLength);
  if (stream.Bytes.size() != header.ExpandedLength) throw std::runtime_error("SZDD data ends before its expanded length");
  return std::move(stream.Bytes);
}

SzddStream SzddExpandWholeStream(std::span<const std::uint8_t> file) {
  ReadSzddHeader(file);
  SzddStream stream;
  Expander(file.subspan(kSzddHeaderSize)).Run(stream, std::numeric_limits<std::size_t>::max());
  return stream;
}

}  // namespace bzip2arc
