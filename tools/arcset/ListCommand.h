// `arcset list`: the header and the directory, as a table or JSON.
#pragma once

#include <string>

#include "Names.h"

namespace arcset {

// Names as `names` show them.
std::string ListSet(const std::string& volumePattern, const std::string& key, bool json, const Names& names);

}  // namespace arcset
