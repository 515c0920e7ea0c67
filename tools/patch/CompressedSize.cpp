#include "CompressedSize.h"

#include <bzlib.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "archive/core/BZip2Guard.h"

namespace bzip2arc::patch {

std::size_t CompressedSize(std::span<const std::uint8_t> data) {
  // libbz2's documented bound for the output: 1% more plus 600 bytes.
  unsigned int capacity = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
  std::vector<char> out(capacity);
  // Input that fits one block of a level (after run-length coding, which
  // grows data by a quarter at most) compresses to the same size at every
  // higher level; the lowest such level allocates least.
  const int level = static_cast<int>(std::min<std::size_t>(9, data.size() / 4 * 5 / 99981 + 1));
  const int result = CallLibbz2([&] {
    return BZ2_bzBuffToBuffCompress(out.data(), &capacity, const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                    static_cast<unsigned int>(data.size()), level, 0, 0);
  });
  if (result != BZ_OK) throw std::runtime_error("bzip2 compression failed");
  return capacity;
}

}  // namespace bzip2arc::patch
