#include "Locations.h"

#include <atomic>
#include <filesystem>
#include <random>

#include "Arguments.h"
#include "archive/core/Platform.h"

namespace arcset {

namespace fs = std::filesystem;

namespace {

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace

std::string VolumePattern(const std::string& operand, const std::string& command) {
  if (operand.find("%d") != std::string::npos) return AbsolutePath(operand);
  std::error_code error;
  if (fs::is_regular_file(operand, error)) {
    throw UsageError("VOLUMES must be a folder or a path with \"%d\", not the file '" + operand + "'", command);
  }
  return AbsoluteFolder(operand) + bzip2arc::platform::kPathSeparator + "setup%d.lib";
}

std::string AbsoluteFolder(const std::string& operand) {
  std::string folder = AbsolutePath(operand);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == bzip2arc::platform::kPathSeparator)) {
    folder.pop_back();
  }
  return folder;
}

std::string PrivateWorkFile() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const std::string name = "arcset-" + std::to_string(device()) + "-" + std::to_string(counter++) + ".tmp";
  return (fs::temp_directory_path() / name).string();
}

}  // namespace arcset
