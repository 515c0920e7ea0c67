// The benchmark's payload: files of three kinds, the same bytes on every run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace arcsetbench {

// Prose-like words and lines: bzip2 packs them about 3.5 to 1.
std::vector<std::uint8_t> TextLike(std::size_t length, std::uint32_t seed);
// Tables of small integers, offsets and repeated structures, like program
// code and data: about 3 to 1.
std::vector<std::uint8_t> BinaryLike(std::size_t length, std::uint32_t seed);
// Incompressible bytes.
std::vector<std::uint8_t> RandomBytes(std::size_t length, std::uint32_t seed);

// One file of about `totalBytes`: text-like, binary-like and random pieces of
// 1 MiB in turn, two of each of the first kinds to one random; returns its length.
std::uint64_t WriteMixedFile(const std::filesystem::path& file, std::uint64_t totalBytes);

// Writes the files into `folder` (text, binary and random interleaved, about
// `totalBytes` in all) and returns the number of bytes written.
std::uint64_t WritePayload(const std::filesystem::path& folder, std::uint64_t totalBytes);

}  // namespace arcsetbench
