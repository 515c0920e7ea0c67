// The directory key that the loader hands to ExtractAll, and with it the key
// of the sets that the tools write and read unless told otherwise: 7 bytes,
// none of them zero, as the zero-terminated text the library takes.
#pragma once

namespace bzip2arc {

inline constexpr char kDirectoryKey[] = "\x6E\x14\xB2\x3C\x85\xD9\x27";

}  // namespace bzip2arc
