// Test helpers: a private folder that is removed with everything in it,
// whole-file reads and writes, test data, failures as text, and patch streams
// built field by field.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "archive/core/CRC32.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class TempFolder {
 public:
  // A new folder inside `parent`. Natively both TMPDIR and `parent` must lie
  // inside the build tree's test-tmp folder (throws std::logic_error).
  explicit TempFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Deletes everything in the folder, read-only files too.
  void Clear() const;
  // The path of `name` inside the folder, as a native string.
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Deterministic pseudo-random bytes, compressible when `alphabet` is small.
Bytes PseudoRandomBytes(std::size_t length, std::uint32_t seed, unsigned alphabet = 256);

// One bzip2 stream, level 9 unless given, as the archive writer stores every entry.
Bytes Bzip2Compress(const Bytes& data, int blockSize100k = 9);

// The message of the `Error` that `action` throws, or "" when it returns.
template <class Error = std::exception, class Action>
std::string ErrorMessage(Action&& action) {
  try { action(); } catch (const Error& error) { return error.what(); }
  return "";
}

// Patch streams; the block helpers compute the checksums from the bytes given.
struct PatchBuilder {
  Bytes Stream;

  PatchBuilder& U8(std::uint8_t value) { return Raw({value}); }
  PatchBuilder& U32(std::size_t v) {
    return Raw({std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
  }
  PatchBuilder& Raw(const Bytes& raw) {
    Stream.insert(Stream.end(), raw.begin(), raw.end());
    return *this;
  }
  static std::uint32_t Crc(const Bytes& b) { return bzip2arc::CRC32Checksum(b.data(), b.size()); }

  PatchBuilder& Literal(std::uint32_t oldLength, const Bytes& data, std::uint32_t crcFlip = 0) {
    return U32(oldLength).U8(0).U32(data.size()).U32(Crc(data) ^ crcFlip).Raw(data);
  }
  // `oldRange` and `rebuilt` only give the checksums.
  PatchBuilder& Delta(const Bytes& oldRange, const Bytes& rebuilt, const Bytes& inserted, const Bytes& table) {
    U32(oldRange.size()).U8(1).U32(Crc(rebuilt)).U32(Crc(oldRange));
    return U32(inserted.size()).U32(table.size()).Raw(inserted).Raw(table);
  }
  PatchBuilder& End(std::uint32_t oldLength = 0) { return U32(oldLength).U8(0).U32(0); }

  // Copy records of (length, source, destination).
  static Bytes Table(std::initializer_list<std::array<std::uint32_t, 3>> copies) {
    PatchBuilder table;
    for (const auto& [length, source, destination] : copies)
      table.U8(std::uint8_t(length)).U8(std::uint8_t(length >> 8)).U32(source).U32(destination);
    return table.Stream;
  }
};

}  // namespace testsupport
