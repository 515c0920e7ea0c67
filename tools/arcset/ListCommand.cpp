#include "ListCommand.h"

#include "Listing.h"
#include "archive/core/ArchiveReader.h"

namespace arcset {

std::string ListSet(const std::string& volumePattern, const std::string& key, bool json, const Names& names) {
  bzip2arc::DirectoryList list;
  bzip2arc::ArchiveHeader header;
  bzip2arc::ReadArchive(volumePattern.c_str(), key.c_str(), list, header);
  return json ? FormatJson(header, list, names) : FormatTable(header, list, names);
}

}  // namespace arcset
