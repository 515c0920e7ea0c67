// Shared pieces of the fuzz targets: a private scratch folder per process and
// a check that a run left nothing behind.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzsupport {

namespace fs = std::filesystem;

// A folder of this process under the system temporary folder, emptied and
// reused for every input and removed at exit; its "tmp" takes the library's
// work files.
struct Scratch {
  Scratch() : path(fs::temp_directory_path() / ("bzip2arc-fuzz-" + std::to_string(::getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path / "tmp");
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  const fs::path path;
};

inline const fs::path& ScratchRoot() {
  static const Scratch scratch;
  return scratch.path;
}

inline fs::path FreshFolder(const char* name) {
  const fs::path folder = ScratchRoot() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

inline void WriteFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// Aborts (a finding) when the scratch root holds anything but the `allowed`
// folders and an empty temporary folder.
inline void ExpectOnlyIn(std::initializer_list<std::string> allowed) {
  for (const auto& entry : fs::directory_iterator(ScratchRoot())) {
    const std::string name = entry.path().filename().string();
    if (name == "tmp" ? fs::is_empty(entry.path()) : std::find(allowed.begin(), allowed.end(), name) != allowed.end())
      continue;
    std::fprintf(stderr, "left behind: %s\n", entry.path().c_str());
    std::abort();
  }
}

}  // namespace fuzzsupport
