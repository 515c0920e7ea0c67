// How `arcset list` shows a set: a table for people, JSON for programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/core/ArchiveFormat.h"
#include "archive/core/ArchiveReader.h"

namespace arcset {

// "YYYY-MM-DD HH:MM:SS" of a packed MS-DOS date and time, fields as stored.
std::string FormatDosDateTime(std::uint32_t dosDateTime);

// "RHSA" with '-' for each flag not set (read-only, hidden, system, archive).
std::string AttributeLetters(std::uint32_t attributes);

// A JSON string literal of 8-bit bytes: bytes outside printable ASCII become
// \u00XX with the byte's value.
std::string JsonString(std::string_view bytes);

// A name for the terminal: control bytes become \xNN, the rest stays.
std::string DisplayName(std::string_view bytes);

// The last volume that holds stored data of `record` (its first one when the
// data is empty or the record is damaged).
int LastVolumeOf(const bzip2arc::DirectoryRecord& record, const bzip2arc::ArchiveHeader& header);

std::string FormatTable(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records);
std::string FormatJson(const bzip2arc::ArchiveHeader& header, const bzip2arc::DirectoryList& records);

}  // namespace arcset
