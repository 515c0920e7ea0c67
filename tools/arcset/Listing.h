// How `arcset list` shows a set: a table for people, JSON for programs.
#pragma once

#include <string>

#include "archive/core/ArchiveFormat.h"
#include "Names.h"
#include "archive/core/ArchiveReader.h"

namespace arcset {

// The header and the directory as a table, aligned by display width; names
// as `names` show them (UTF-8, undefined bytes and control characters as
// \xNN), the volume range of each record's stored data is given.
std::string FormatTable(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records,
                        const Names& names);
// The same as JSON: names as string literals of the names shown (control
// characters as \u00XX), every other field as stored.
std::string FormatJson(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records,
                       const Names& names);

}  // namespace arcset
