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
  std::array<std::uint16_t, 256> fifthLast{};   // byte j-5
  std::array<std::uint16_t, 256> fourthLast{};  // byte j-4
};

constexpr Filter MakeFilter() {
  Filter filter;
  for (int m = 0; m < 2; ++m) {
    for (int u = 0; u < 8; ++u) {
      const auto flag = static_cast<std::uint16_t>(1u << (8 * m + u));
      filter.fifthLast[kMagics[m] >> (33 + u) & 0xFF] |= flag;
      filter.fourthLast[kMagics[m] >> (25 + u) & 0xFF] |= flag;
    }
  }
  return filter;
}

constexpr Filter kFilter = MakeFilter();

}  // namespace

void BlockScanner::Scan(std::span<const std::uint8_t> bytes, std::vector<BlockMark>& marks) {
  std::uint64_t window = window_;
  std::int64_t j = scanned_;
  for (const std::uint8_t byte : bytes) {
    window = window << 8 | byte;
    unsigned flags = kFilter.fifthLast[window >> 40 & 0xFF] & kFilter.fourthLast[window >> 32 & 0xFF];
    if (flags != 0 && j >= 5) {
      for (int m = 0; m < 2; ++m) {
        for (int u = 0; u < 8; ++u) {
          if ((flags >> (8 * m + u) & 1u) == 0) continue;
          const std::int64_t start = 8 * j - 47 + u;
          if (start >= 0 && (window >> (7 - u) & kMagicMask) == kMagics[m]) marks.push_back({start, m == 1});
        }
      }
    }
    ++j;
  }
  window_ = window;
  scanned_ = j;
}

}  // namespace bzip2arc::bzip2
