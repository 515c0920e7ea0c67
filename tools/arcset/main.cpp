// arcset: builds, lists, verifies and extracts archive sets.
#include <csignal>
#include <string>
#include <vector>

#include "RunArcset.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A file-size limit then fails the write, which is reported, instead of
  // killing the process without a word.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return arcset::RunArcset(arguments);
}
