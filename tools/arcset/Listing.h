// How `arcset list` shows a set: a table for people, JSON for programs.
#pragma once

#include <functional>
#include <string>

#include "archive/core/ArchiveFormat.h"
#include "Names.h"
#include "archive/core/DirectoryStore.h"

namespace arcset {

// Takes the listing piece by piece, so that no listing is held whole.
using Printer = std::function<void(const std::string& text)>;

// The header and the directory as a table, aligned by display width; names
// as `names` show them (UTF-8, undefined bytes and control characters as
// \xNN), the volume range of each record's stored data is given.
void FormatTable(const bzip2arc::ArchiveHeader& header, bzip2arc::DirectoryStore& records, const Names& names,
                 const Printer& print);
// The same as JSON: names as string literals of the names shown (control
// characters as \u00XX), every other field as stored.
void FormatJson(const bzip2arc::ArchiveHeader& header, bzip2arc::DirectoryStore& records, const Names& names,
                const Printer& print);

}  // namespace arcset
