// How `arcset list` shows a set: a table for people, JSON for programs.
#pragma once

#include <string>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/ArchiveReader.h"

namespace arcset {

// The header and the directory as a table; names are shown with control
// bytes as \xNN, the volume range of each record's stored data is given.
std::string FormatTable(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records);
// The same as JSON: names as string literals of their bytes (outside
// printable ASCII as \u00XX with the byte's value), every field as stored.
std::string FormatJson(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records);

}  // namespace arcset
