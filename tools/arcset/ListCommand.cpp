#include "ListCommand.h"

#include "Locations.h"
#include "archive/core/CheckedDirectory.h"

namespace arcset {

void ListSet(const std::string& volumePattern, const std::string& key, bool json, const Names& names,
             const Printer& print) {
  const std::string workFile = PrivateWorkFile();
  bzip2arc::DirectoryStore records(workFile.c_str());
  bzip2arc::ArchiveHeader header;
  bzip2arc::ReadStoredDirectory(volumePattern.c_str(), key.c_str(), header, records);
  if (json) FormatJson(header, records, names, print);
  else FormatTable(header, records, names, print);
}

}  // namespace arcset
