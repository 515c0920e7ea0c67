// Test helpers: a private folder that is removed with everything in it, and
// whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class TempFolder {
 public:
  TempFolder();
  // A folder inside `parent` instead of the system temporary folder.
  explicit TempFolder(const std::filesystem::path& parent);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the folder, as a native string.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ToBytes(std::string_view text);

// Deterministic pseudo-random bytes, compressible when `alphabet` is small.
Bytes PseudoRandomBytes(std::size_t length, std::uint32_t seed, unsigned alphabet = 256);

// One bzip2 stream at level 9, as the archive writer stores every entry.
Bytes Bzip2Compress(const Bytes& data, int blockSize100k = 9);

}  // namespace testsupport
