// `arcset list`: the header and the directory, as a table or JSON.
#pragma once

#include <string>

#include "Listing.h"
#include "Names.h"

namespace arcset {

// Names as `names` show them. Records are shown as stored, damaged ones too;
// the directory waits in a work file, not in memory.
void ListSet(const std::string& volumePattern, const std::string& key, bool json, const Names& names,
             const Printer& print);

}  // namespace arcset
