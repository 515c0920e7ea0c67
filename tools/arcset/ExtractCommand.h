// `arcset extract`: the library's own extraction (-j 1) or the parallel one.
#pragma once

#include "Arguments.h"

namespace arcset {

void ExtractSet(const ExtractRequest& request);

}  // namespace arcset
