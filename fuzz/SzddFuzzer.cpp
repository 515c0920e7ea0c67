// The SZDD encoder round trip through the reference decoder, and the decoder
// on its own over arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "SzddDecoder.h"
#include "SzddEncoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  try {
    (void)bzip2arc::SzddDecode(input);
  } catch (const std::exception&) {
  }
  const auto encoded = bzip2arc::SzddEncode(input);
  const auto decoded = bzip2arc::SzddDecode(encoded);
  if (decoded.size() != size || !std::equal(decoded.begin(), decoded.end(), data)) __builtin_trap();
  return 0;
}
