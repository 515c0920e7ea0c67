// Where the volumes of a set go while the writer lays them out: into memory,
// or into files in a folder under temporary names that take the volumes'
// names only once the whole set is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <vector>

namespace bzip2arc {

class VolumeOutput {
 public:
  virtual ~VolumeOutput() = default;
  // Writes `bytes` at `offset` of volume `volume`. The writer goes through
  // each volume from its start, and at the end back to volume 0's start for
  // the header and directory.
  virtual void Write(std::size_t volume, std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

class VolumesInMemory : public VolumeOutput {
 public:
  void Write(std::size_t volume, std::int64_t offset, std::span<const std::uint8_t> bytes) override;
  std::vector<std::vector<std::uint8_t>>& Volumes() { return volumes_; }

 private:
  std::vector<std::vector<std::uint8_t>> volumes_;
};

// setup0.lib, setup1.lib, ... in a folder, all or nothing: until Commit the
// volumes are written as hidden partial files, which go again if the writer
// fails (or nothing commits them).
class VolumeFiles : public VolumeOutput {
 public:
  explicit VolumeFiles(std::filesystem::path folder);
  ~VolumeFiles() override;
  VolumeFiles(const VolumeFiles&) = delete;
  VolumeFiles& operator=(const VolumeFiles&) = delete;

  void Write(std::size_t volume, std::int64_t offset, std::span<const std::uint8_t> bytes) override;
  // Renames the partial files to the volumes' names, and removes volumes of
  // an earlier, longer set that would follow the new last one, so the folder
  // holds exactly one set.
  void Commit();

  std::size_t Count() const { return created_; }

 private:
  void CloseOpen();
  void CreateNew(std::size_t volume);
  std::filesystem::path VolumeName(std::size_t volume) const;
  std::filesystem::path PartialName(std::size_t volume) const;

  std::filesystem::path folder_;
  std::fstream file_;
  std::size_t open_ = 0;     // the volume file_ holds, when it is open
  std::size_t created_ = 0;  // partial files created: volumes 0 to created_ - 1
  bool committed_ = false;
};

}  // namespace bzip2arc
