// The VOLUMES operand: a folder (FOLDER/setup%d.lib) or a path with "%d".
#pragma once

#include <string>

namespace arcset {

// The absolute volume pattern: the library changes the current folder on
// Windows, so relative paths would not survive. Raises UsageError when the
// operand names a file rather than a folder or a pattern.
std::string VolumePattern(const std::string& operand, const std::string& command);

std::string AbsolutePath(const std::string& path);

}  // namespace arcset
