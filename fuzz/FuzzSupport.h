// Shared pieces of the fuzz targets: a private scratch folder per process and
// checks that a run left nothing behind.
#pragma once

#include <cstdint>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzsupport {

namespace fs = std::filesystem;

// A folder of this process under the system temporary folder, emptied and
// reused for every input. TMPDIR points into it, so the library's work files
// land there too.
inline const fs::path& ScratchRoot() {
  static const fs::path root = [] {
    fs::path path = fs::temp_directory_path() / ("bzip2arc-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path / "tmp");
    ::setenv("TMPDIR", (path / "tmp").c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(ScratchRoot(), ignored);
    });
    return path;
  }();
  return root;
}

inline fs::path FreshFolder(const char* name) {
  const fs::path folder = ScratchRoot() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

inline void WriteFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Aborts (a finding) when anything but `allowed` folders holds files, or the
// library's temporary folder is not empty.
inline void ExpectOnlyIn(std::initializer_list<const char*> allowed) {
  for (const auto& entry : fs::directory_iterator(ScratchRoot())) {
    const std::string name = entry.path().filename().string();
    bool ok = false;
    for (const char* folder : allowed) ok = ok || name == folder;
    if (name == "tmp") {
      if (!fs::is_empty(entry.path())) {
        std::fprintf(stderr, "work files left in %s\n", entry.path().c_str());
        std::abort();
      }
      continue;
    }
    if (!ok) {
      std::fprintf(stderr, "unexpected entry %s\n", entry.path().c_str());
      std::abort();
    }
  }
}

}  // namespace fuzzsupport
