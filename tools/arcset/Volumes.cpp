#include "Volumes.h"

#include <filesystem>

#include "Arguments.h"
#include "archive/core/Platform.h"

namespace arcset {

namespace fs = std::filesystem;

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

std::string VolumePattern(const std::string& operand, const std::string& command) {
  if (operand.find("%d") != std::string::npos) return AbsolutePath(operand);
  std::error_code error;
  if (fs::is_regular_file(operand, error)) {
    throw UsageError("VOLUMES must be a folder or a path with \"%d\", not the file '" + operand + "'", command);
  }
  std::string folder = AbsolutePath(operand);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == bzip2arc::platform::kPathSeparator)) {
    folder.pop_back();
  }
  return folder + bzip2arc::platform::kPathSeparator + "setup%d.lib";
}

}  // namespace arcset
