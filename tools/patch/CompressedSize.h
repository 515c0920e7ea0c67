// The size of bytes compressed as one bzip2 stream at level 9, the way the
// archive writer stores a patch: the measure every encoding choice aims at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bzip2arc::patch {

std::size_t CompressedSize(std::span<const std::uint8_t> data);

}  // namespace bzip2arc::patch
