#include "Paths.h"

namespace bzip2arc {

platform::PathText JoinedPath(std::string_view folder, const char* name) {
  platform::PathText path(folder);
  path.Append(name);
  if (path.Truncated()) RaiseNamed("Path too long: ", path.View(), "");
  return path;
}

std::string_view FolderOf(std::string_view path) {
  const std::size_t at = path.find_last_of(platform::kFolderDelimiters);
  return at == path.npos ? std::string_view() : path.substr(0, at + 1);
}

}  // namespace bzip2arc
