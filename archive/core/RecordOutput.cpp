#include "RecordOutput.h"

namespace bzip2arc {

OutputMaker OutputMakerOf(OutputMode mode) {
  return mode == OutputMode::InPlace ? MakeInPlaceOutput : MakeReplacingOutput;
}

}  // namespace bzip2arc
