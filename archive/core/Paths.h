// The paths of the extraction's files: a folder and a name.
#pragma once

#include <string_view>

#include "Platform.h"

namespace bzip2arc {

// `folder` (ending with a folder delimiter, or empty) followed by `name`.
// Fails with "Path too long: ..." rather than cut it: a cut path would name
// another file.
platform::PathText JoinedPath(std::string_view folder, const char* name);

// `path` up to and including its last folder delimiter; empty without one.
std::string_view FolderOf(std::string_view path);

}  // namespace bzip2arc
