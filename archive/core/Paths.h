// The paths of the extraction's work files: a folder and a fixed name.
#pragma once

#include <string_view>

#include "Platform.h"

namespace bzip2arc {

// `folder` (ending with a folder delimiter, or empty) followed by `name`.
// Fails with "Path too long: ..." rather than cut it: a cut path would name
// another file.
platform::PathText JoinedPath(std::string_view folder, const char* name);

}  // namespace bzip2arc
