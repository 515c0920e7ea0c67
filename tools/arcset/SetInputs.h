// What `arcset create` puts into a set: the INPUT files in order, the files
// directly inside folder INPUTs sorted by name, then the --patch records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ArchiveWriter.h"

namespace arcset {

// An input the set cannot hold (exit status 1).
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The files the INPUT operands stand for, in record order. A folder adds its
// regular files sorted by name; a folder inside it is an error, as the format
// has no folders.
std::vector<std::filesystem::path> ExpandInputs(const std::vector<std::filesystem::path>& inputs);

// Rejects names that the library would refuse to extract.
void CheckEntryName(const std::string& name);

// 0x20 (archive), plus 0x01 (read-only) when nobody may write the file.
std::uint32_t AttributesOf(const std::filesystem::path& file);

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& file);

// All records: one per input file (names unique ignoring case), then one
// patch record per request. A patch must name a file already in the set whose
// content at that point equals OLD and that is not read-only by then.
std::vector<bzip2arc::WriterEntry> CollectEntries(const std::vector<std::filesystem::path>& inputs,
                                                  const std::vector<PatchRequest>& patches);

}  // namespace arcset
