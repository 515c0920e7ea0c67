// Placeholder until the cipher lands.
#include "Blowfish.h"

#include <cstring>

#include "Error.h"

namespace bzip2arc {

void BlowfishInit(BlowfishContext&, const std::uint8_t*, std::int32_t, const std::uint8_t*) {
  throw EArchiveError("Blowfish: not implemented");
}
void BlowfishWipe(BlowfishContext& context) { std::memset(&context, 0, sizeof context); }
void DecipherBuffer(BlowfishContext&, std::uint8_t*, std::int32_t) {}

}  // namespace bzip2arc
