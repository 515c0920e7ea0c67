#include "CRC32.h"

#include <memory>

#include "ByteOrder.h"

namespace bzip2arc {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320;
constexpr int kSlices = 8;

// Slicing-by-8: Table[0] is the usual byte table, Table[k][i] is the register
// after byte i followed by k zero bytes, so eight bytes fold in one step
// (several times faster than one byte per step, same results).
// The 8 KB are built on the heap when the module starts, in a few
// microseconds, instead of being stored as constant data: the library ships
// in a DLL with a tight size budget. A namespace-scope object rather than a
// function-local static also keeps the first-use guard code out of the DLL.
// Nothing calls the CRC during static initialisation.
struct SliceTables {
  std::uint32_t Table[kSlices][256];
};

std::unique_ptr<SliceTables> BuildTables() {
  auto tables = std::make_unique<SliceTables>();
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (kPolynomial & (0 - (crc & 1)));
    tables->Table[0][i] = crc;
  }
  for (int k = 1; k < kSlices; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t previous = tables->Table[k - 1][i];
      tables->Table[k][i] = (previous >> 8) ^ tables->Table[0][previous & 0xFF];
    }
  }
  return tables;
}

const std::unique_ptr<const SliceTables> gTables = BuildTables();

}  // namespace

std::uint32_t CRC32Update(const void* buffer, std::size_t length, std::uint32_t crc) {
  if (length == 0) return crc;
  const auto& t = gTables->Table;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  for (; length >= kSlices; length -= kSlices, p += kSlices) {
    const std::uint32_t low = LoadU32LE(p) ^ crc;
    const std::uint32_t high = LoadU32LE(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; length > 0; --length, ++p) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return crc;
}

std::uint32_t CRC32Checksum(const void* buffer, std::size_t length) {
  return ~CRC32Update(buffer, length, 0xFFFFFFFF);
}

}  // namespace bzip2arc
