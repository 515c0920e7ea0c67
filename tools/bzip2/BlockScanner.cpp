#include "BlockScanner.h"

#include <array>

#include "StreamFormat.h"

namespace bzip2arc::bzip2 {
namespace {

constexpr std::uint64_t kMagicMask = (std::uint64_t{1} << kMagicBits) - 1;
constexpr std::uint64_t kMagics[2] = {kBlockMagic, kEndOfStreamMagic};

// With byte j just taken, a magic whose last bit is in byte j starts at bit
// 8j - 47 + u (u = 0 to 7) and covers bytes j-5 to j-1 whole. Tables of the
// values those two bytes take in each of the 16 (magic, u) cases let most
// positions go by after two look-ups.
struct Filter {
  std::array<std::uint16_t, 256> FifthLast{};   // byte j-5
  std::array<std::uint16_t, 256> FourthLast{};  // byte j-4
};

constexpr Filter MakeFilter() {
  Filter filter;
  for (int m = 0; m < 2; ++m) {
    for (int u = 0; u < 8; ++u) {
      const auto flag = static_cast<std::uint16_t>(1u << (8 * m + u));
      filter.FifthLast[kMagics[m] >> (33 + u) & 0xFF] |= flag;
      filter.FourthLast[kMagics[m] >> (25 + u) & 0xFF] |= flag;
    }
  }
  return filter;
}

constexpr Filter kFilter = MakeFilter();

// Byte j has just been taken and `window` holds bytes j-7 to j; `flags` are
// the cases the filter let through.
void CheckMagics(std::uint64_t window, unsigned flags, std::int64_t j, std::vector<BlockMark>& marks) {
  for (int m = 0; m < 2; ++m) {
    for (int u = 0; u < 8; ++u) {
      if ((flags >> (8 * m + u) & 1u) == 0) continue;
      const std::int64_t start = 8 * j - 47 + u;
      if (start >= 0 && (window >> (7 - u) & kMagicMask) == kMagics[m]) marks.push_back({start, m == 1});
    }
  }
}

}  // namespace

void BlockScanner::Scan(std::span<const std::uint8_t> bytes, std::vector<BlockMark>& marks) {
  const std::size_t size = bytes.size();
  const std::uint8_t* b = bytes.data();
  // The first bytes go through the window, which still holds earlier ones.
  std::size_t i = 0;
  for (; i < size && i < 8; ++i) {
    window_ = window_ << 8 | b[i];
    const unsigned flags = kFilter.FifthLast[window_ >> 40 & 0xFF] & kFilter.FourthLast[window_ >> 32 & 0xFF];
    if (flags != 0) CheckMagics(window_, flags, scanned_ + static_cast<std::int64_t>(i), marks);
  }
  // From the eighth byte on, all eight lie in `bytes`.
  for (; i < size; ++i) {
    const unsigned flags = kFilter.FifthLast[b[i - 5]] & kFilter.FourthLast[b[i - 4]];
    if (flags == 0) continue;
    std::uint64_t window = 0;
    for (std::size_t k = i - 7; k <= i; ++k) window = window << 8 | b[k];
    CheckMagics(window, flags, scanned_ + static_cast<std::int64_t>(i), marks);
  }
  if (size >= 8) {
    window_ = 0;
    for (std::size_t k = size - 8; k < size; ++k) window_ = window_ << 8 | b[k];
  }
  scanned_ += static_cast<std::int64_t>(size);
}

}  // namespace bzip2arc::bzip2
