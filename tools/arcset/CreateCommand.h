// `arcset create`: builds a set from files and writes its volumes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Arguments.h"

namespace arcset {

struct CreateSummary {
  std::size_t Records = 0;
  std::size_t Volumes = 0;
  std::int64_t Bytes = 0;
};

// Checks every input before anything is written; the files are then read in
// pieces as their turn comes and the volumes written as they fill, all or
// nothing. Memory stays bounded whatever the sizes, but for the two files of
// the patch being made.
CreateSummary CreateSet(const CreateRequest& request);

}  // namespace arcset
