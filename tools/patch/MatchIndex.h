// A hashed index of every position of the old file by the bytes that start
// there, for finding where a stretch of the new file occurs in the old one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bzip2arc::patch {

class MatchIndex {
 public:
  // Bytes hashed per position; shorter matches are not found by lookup.
  static constexpr std::uint32_t kKeyLength = 8;
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  explicit MatchIndex(std::span<const std::uint8_t> oldData);

  // The latest old position whose key hashes like the kKeyLength bytes at
  // `key`, or kNone; Next walks to earlier positions of the same hash chain.
  std::uint32_t First(const std::uint8_t* key) const { return head_[Hash(key)]; }
  std::uint32_t Next(std::uint32_t position) const { return previous_[position]; }

 private:
  std::uint32_t Hash(const std::uint8_t* key) const;

  unsigned shift_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> previous_;
};

// Length of the common prefix of a[0..limit) and b[0..limit).
std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t limit);

}  // namespace bzip2arc::patch
