// Runs a fuzz target over folders (or single files) of inputs without
// libFuzzer, so that every normal test run replays the seed corpus, the
// committed corpus and the saved crash inputs. A README says what its folder
// is for and is no input. Replaying nothing at all is a failure: a test that
// checks no input would pass whatever the target does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool IsInput(const fs::path& path) { return path.stem() != "README"; }

std::vector<fs::path> InputsIn(const fs::path& folder) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && IsInput(entry.path())) inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());  // the same order on every run
  return inputs;
}

void Replay(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER-OR-FILE...\n", argv[0]);
    return 2;
  }
  std::size_t total = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path source = argv[i];
    if (!fs::exists(source)) {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 1;
    }
    const std::vector<fs::path> inputs = fs::is_directory(source) ? InputsIn(source) : std::vector{source};
    for (const auto& path : inputs) Replay(path);
    std::printf("%s: %zu inputs\n", argv[i], inputs.size());
    total += inputs.size();
  }
  if (total == 0) {
    std::fprintf(stderr, "replayed no input\n");
    return 1;
  }
  std::printf("replayed %zu inputs\n", total);
  return 0;
}
