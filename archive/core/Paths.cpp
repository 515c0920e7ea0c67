#include "Paths.h"

namespace bzip2arc {

platform::PathText JoinedPath(std::string_view folder, const char* name) {
  platform::PathText path(folder);
  path.Append(name);
  if (path.Truncated()) RaiseNamed("Path too long: ", path.View(), "");
  return path;
}

}  // namespace bzip2arc
