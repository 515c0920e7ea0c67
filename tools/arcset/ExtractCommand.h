// `arcset extract`: the library's ExtractAll (-j 1) or the parallel decoder.
#pragma once

#include "Arguments.h"

namespace arcset {

void ExtractSet(const ExtractRequest& request);

}  // namespace arcset
