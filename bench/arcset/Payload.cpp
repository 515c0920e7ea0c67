#include "Payload.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace arcsetbench {

std::vector<std::uint8_t> TextLike(std::size_t length, std::uint32_t seed) {
  std::mt19937 random(seed);
  // A vocabulary with a skewed (Zipf-like) use of its words.
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string word;
    const int letters = 2 + static_cast<int>(random() % 9);
    for (int k = 0; k < letters; ++k) word += static_cast<char>('a' + random() % 26);
    words.push_back(word);
  }
  std::vector<std::uint8_t> text;
  text.reserve(length);
  std::size_t lineLength = 0;
  while (text.size() < length) {
    const double pick = std::pow(static_cast<double>(random()) / std::mt19937::max(), 3.0);
    const std::string& word = words[static_cast<std::size_t>(pick * (words.size() - 1))];
    text.insert(text.end(), word.begin(), word.end());
    lineLength += word.size() + 1;
    if (lineLength > 70) {
      text.push_back(random() % 8 == 0 ? '.' : ',');
      text.push_back('\n');
      lineLength = 0;
    } else {
      text.push_back(' ');
    }
  }
  text.resize(length);
  return text;
}

std::vector<std::uint8_t> BinaryLike(std::size_t length, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data;
  data.reserve(length + 64);
  std::uint32_t address = 0x00401000;
  while (data.size() < length) {
    switch (random() % 4) {
      case 0: {  // a record of small fields
        for (int field = 0; field < 6; ++field) {
          const std::uint32_t value = random() % (field == 0 ? 65536 : 300);
          for (int b = 0; b < 4; ++b) data.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
        }
        break;
      }
      case 1: {  // an ascending table of addresses
        for (int entry = 0; entry < 8; ++entry) {
          address += 4 + random() % 64;
          for (int b = 0; b < 4; ++b) data.push_back(static_cast<std::uint8_t>(address >> (8 * b)));
        }
        break;
      }
      case 2: {  // instruction-like byte runs from a small alphabet
        static const std::uint8_t opcodes[] = {0x55, 0x8B, 0xEC, 0x83, 0xC4, 0x89, 0x45, 0xFC, 0xE8, 0xC3, 0x50, 0x6A};
        for (int k = 0; k < 24; ++k) data.push_back(opcodes[random() % sizeof opcodes]);
        break;
      }
      default:  // padding and a little noise
        data.insert(data.end(), random() % 24, 0);
        data.push_back(static_cast<std::uint8_t>(random()));
        break;
    }
  }
  data.resize(length);
  return data;
}

std::vector<std::uint8_t> RandomBytes(std::size_t length, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(length);
  for (std::size_t i = 0; i + 4 <= length; i += 4) {
    const std::uint32_t value = random();
    for (int b = 0; b < 4; ++b) data[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
  }
  return data;
}

std::uint64_t WriteMixedFile(const std::filesystem::path& file, std::uint64_t totalBytes) {
  constexpr std::size_t kPiece = 1 << 20;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  std::uint64_t written = 0;
  for (std::uint32_t i = 0; written < totalBytes; ++i) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, totalBytes - written));
    const std::uint32_t seed = 5000 + i;
    const std::vector<std::uint8_t> piece =
        i % 5 == 4 ? RandomBytes(length, seed) : i % 2 == 0 ? TextLike(length, seed) : BinaryLike(length, seed);
    out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
    written += piece.size();
  }
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return written;
}

std::uint64_t WritePayload(const std::filesystem::path& folder, std::uint64_t totalBytes) {
  std::filesystem::create_directories(folder);
  // Text 3 MiB, binary 2.5 MiB and random 1.5 MiB files in turn.
  constexpr std::size_t kMiB = 1 << 20;
  std::uint64_t written = 0;
  for (int i = 0; written < totalBytes; ++i) {
    std::vector<std::uint8_t> content;
    const auto seed = static_cast<std::uint32_t>(1000 + i);
    switch (i % 3) {
      case 0: content = TextLike(3 * kMiB, seed); break;
      case 1: content = BinaryLike(5 * kMiB / 2, seed); break;
      default: content = RandomBytes(3 * kMiB / 2, seed); break;
    }
    if (content.size() > totalBytes - written) content.resize(totalBytes - written);
    char name[32];
    std::snprintf(name, sizeof name, "f%02d.%s", i, i % 3 == 0 ? "txt" : i % 3 == 1 ? "bin" : "dat");
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error(std::string("cannot write ") + name);
    written += content.size();
  }
  return written;
}

}  // namespace arcsetbench
