// Where arcset reads and writes: the volume pattern and the destination
// folder its operands name, and its private work files.
#pragma once

#include <string>

namespace arcset {

// The absolute volume pattern: the library changes the current folder on
// Windows, so relative paths would not survive. Raises UsageError when the
// operand names a file rather than a folder or a pattern.
std::string VolumePattern(const std::string& operand, const std::string& command);

// The absolute path of the folder `operand`, without trailing separators.
std::string AbsoluteFolder(const std::string& operand);

// A work file name of this run's own in the system temporary folder, so
// that runs at the same time do not collide (the library's work files have
// no name on POSIX anyway, and go with their handle on Windows).
std::string PrivateWorkFile();

}  // namespace arcset
