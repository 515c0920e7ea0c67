// `arcset list`: the header and the directory, as a table or JSON.
#pragma once

#include <string>

namespace arcset {

std::string ListSet(const std::string& volumePattern, const std::string& key, bool json);

}  // namespace arcset
