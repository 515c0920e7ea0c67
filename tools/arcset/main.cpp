// arcset: builds, lists, verifies and extracts archive sets.
#include <string>
#include <vector>

#include "RunArcset.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return arcset::RunArcset(arguments);
}
