#include "support/TempFolder.h"

#include <bzlib.h>

#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

TempFolder::TempFolder() : TempFolder(std::filesystem::temp_directory_path()) {}

TempFolder::TempFolder(const std::filesystem::path& base) {
  std::random_device device;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("bz2arc-test-" + std::to_string(device()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Read-only files would stop remove_all on Windows.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                 error);
  }
  std::filesystem::remove_all(path_, error);
}

std::string TempFolder::File(std::string_view name) const { return (path_ / name).string(); }

Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes PseudoRandomBytes(std::size_t length, std::uint32_t seed, unsigned alphabet) {
  std::mt19937 generator(seed);
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator() % alphabet);
  return bytes;
}

Bytes Bzip2Compress(const Bytes& data, int blockSize100k) {
  unsigned int capacity = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
  Bytes out(capacity);
  const int result = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &capacity,
                                              const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                              static_cast<unsigned int>(data.size()), blockSize100k, 0, 0);
  if (result != BZ_OK) throw std::runtime_error("BZ2_bzBuffToBuffCompress failed");
  out.resize(capacity);
  return out;
}

}  // namespace testsupport
