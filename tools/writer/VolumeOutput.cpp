#include "VolumeOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace bzip2arc {

void VolumesInMemory::Write(std::size_t volume, std::int64_t offset, std::span<const std::uint8_t> bytes) {
  if (volumes_.size() <= volume) volumes_.resize(volume + 1);
  std::vector<std::uint8_t>& target = volumes_[volume];
  const auto at = static_cast<std::size_t>(offset);
  if (target.size() < at + bytes.size()) target.resize(at + bytes.size());
  std::copy(bytes.begin(), bytes.end(), target.begin() + static_cast<std::ptrdiff_t>(at));
}

VolumeFiles::VolumeFiles(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
}

VolumeFiles::~VolumeFiles() {
  if (committed_) return;
  file_.close();
  std::error_code ignored;
  for (std::size_t i = 0; i < created_; ++i) std::filesystem::remove(PartialName(i), ignored);
}

std::filesystem::path VolumeFiles::VolumeName(std::size_t volume) const {
  return folder_ / ("setup" + std::to_string(volume) + ".lib");
}

std::filesystem::path VolumeFiles::PartialName(std::size_t volume) const {
  return folder_ / (".setup" + std::to_string(volume) + ".lib.partial");
}

void VolumeFiles::CloseOpen() {
  if (!file_.is_open()) return;
  file_.close();
  if (file_.fail()) throw std::runtime_error("cannot write " + VolumeName(open_).string());
}

void VolumeFiles::CreateNew(std::size_t volume) {
  // A leftover of that name, or a link planted there, goes (the link itself,
  // not what it points to) rather than being written through.
  std::error_code ignored;
  std::filesystem::remove(PartialName(volume), ignored);
#ifdef _WIN32
  std::ofstream created(PartialName(volume), std::ios::binary | std::ios::trunc);
  if (!created) throw std::runtime_error("cannot write " + VolumeName(volume).string());
#else
  // Exclusive: a link planted again since the removal fails the create.
  const int file = ::open(PartialName(volume).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (file < 0) throw std::runtime_error("cannot write " + VolumeName(volume).string() + ": " + std::strerror(errno));
  ::close(file);
#endif
}

void VolumeFiles::Write(std::size_t volume, std::int64_t offset, std::span<const std::uint8_t> bytes) {
  if (!file_.is_open() || open_ != volume) {
    CloseOpen();
    for (; created_ <= volume; ++created_) CreateNew(created_);
    file_.open(PartialName(volume), std::ios::binary | std::ios::in | std::ios::out);
    if (!file_) throw std::runtime_error("cannot write " + VolumeName(volume).string());
    open_ = volume;
  }
  file_.seekp(offset);
  file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file_) throw std::runtime_error("cannot write " + VolumeName(volume).string());
}

void VolumeFiles::Commit() {
  CloseOpen();
  for (std::size_t i = 0; i < created_; ++i) {
    std::error_code error;
    std::filesystem::rename(PartialName(i), VolumeName(i), error);
    if (error) throw std::runtime_error("cannot create " + VolumeName(i).string() + ": " + error.message());
  }
  committed_ = true;
  std::error_code ignored;
  for (std::size_t i = created_; std::filesystem::exists(VolumeName(i), ignored); ++i)
    std::filesystem::remove(VolumeName(i), ignored);
}

}  // namespace bzip2arc
