// Extracting a whole set with the caller's context: what ExtractAll does,
// without the module-wide state.
#pragma once

#include "ExtractionHooks.h"

namespace bzip2arc {

// Extracts every record of the set into `destinationFolder`, in directory
// order, as ExtractAll does, through ExtractRecord with `context`; its hooks
// hear the set's percentage.
void ExtractSet(const char* volumePattern, const char* key, const char* destinationFolder,
                const ExtractionContext& context);

}  // namespace bzip2arc
