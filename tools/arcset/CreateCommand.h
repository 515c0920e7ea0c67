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

// Reads and checks every input before anything is written; the volumes are
// then written all or nothing.
CreateSummary CreateSet(const CreateRequest& request);

}  // namespace arcset
