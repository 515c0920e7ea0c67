#include "support/TempFolder.h"

#include <bzlib.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

namespace {

void RemoveTree(const fs::path& path) {
  std::error_code error;
  // Read-only files would stop remove_all on Windows.
  for (auto it = fs::recursive_directory_iterator(path, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
  fs::remove_all(path, error);
}

#ifndef _WIN32
// Strictly below `folder`, as the paths resolve on disk.
bool IsInside(const fs::path& path, const fs::path& folder) {
  const fs::path relative = fs::weakly_canonical(path).lexically_relative(fs::weakly_canonical(folder));
  return !relative.empty() && relative != "." && *relative.begin() != "..";
}
#endif

// Natively, test folders live only in the private TMPDIR that CTest's launcher
// (run-in-private-tmp) gives each test inside the build tree: whatever the code
// under test does wrong beside a test folder stays there. A test run any other
// way stops here rather than work in the machine's /tmp. Under Wine the
// temporary folder is the prefix's own, inside the build tree already.
void CheckParent([[maybe_unused]] const fs::path& parent) {
#ifndef _WIN32
  const fs::path root = BZ2ARC_TEST_TEMP_ROOT;
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir == nullptr || !IsInside(tmpdir, root))
    throw std::logic_error("tests need TMPDIR set to a folder inside " + root.string() +
                           " (TMPDIR is " + (tmpdir ? "\"" + std::string(tmpdir) + "\"" : "not set") +
                           "): run them through ctest");
  if (!IsInside(parent, root))
    throw std::logic_error("test folder asked for outside " + root.string() + ": " + parent.string());
#endif
}

}  // namespace

TempFolder::TempFolder(const fs::path& parent) {
  CheckParent(parent);
  std::random_device device;
  do path_ = parent / ("bz2arc-test-" + std::to_string(device()));
  while (!fs::create_directory(path_));  // throws when it cannot be made at all
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void TempFolder::Clear() const {
  RemoveTree(path_);
  fs::create_directory(path_);
}

Bytes ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes PseudoRandomBytes(std::size_t length, std::uint32_t seed, unsigned alphabet) {
  std::mt19937 generator(seed);
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator() % alphabet);
  return bytes;
}

Bytes Bzip2Compress(const Bytes& data, int blockSize100k) {
  auto capacity = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
  Bytes out(capacity);
  char none = 0;  // libbz2 refuses a null source even for zero bytes
  auto* source = data.empty() ? &none : const_cast<char*>(reinterpret_cast<const char*>(data.data()));
  if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &capacity, source,
                               static_cast<unsigned int>(data.size()), blockSize100k, 0, 0) != BZ_OK)
    throw std::runtime_error("BZ2_bzBuffToBuffCompress failed");
  out.resize(capacity);
  return out;
}

}  // namespace testsupport
