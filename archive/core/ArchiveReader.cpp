#include "ArchiveReader.h"

#include <cstring>

#include "Blowfish.h"
#include "Platform.h"
#include "Stream.h"

namespace bzip2arc {

void DirectoryList::Append(const DirectoryRecord& record) {
  if (count_ == capacity_) {
    const std::size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
    auto items = std::make_unique<DirectoryRecord[]>(capacity);
    for (std::size_t i = 0; i < count_; ++i) items[i] = items_[i];
    items_ = std::move(items);
    capacity_ = capacity;
  }
  items_[count_++] = record;
}

namespace {

// The directory cipher is wiped on every way out of the read.
class DirectoryCipher {
 public:
  DirectoryCipher() = default;
  DirectoryCipher(const DirectoryCipher&) = delete;
  DirectoryCipher& operator=(const DirectoryCipher&) = delete;
  ~DirectoryCipher() {
    if (active_) BlowfishWipe(context_);
  }

  void Start(const char* key) {
    active_ = true;
    const std::int32_t length = key == nullptr ? 0 : static_cast<std::int32_t>(std::strlen(key));
    BlowfishInit(context_, reinterpret_cast<const std::uint8_t*>(key), length, kDirectoryVector);
  }
  bool Active() const { return active_; }
  void Decipher(std::uint8_t* buffer, std::int32_t length) { DecipherBuffer(context_, buffer, length); }

 private:
  BlowfishContext context_;
  bool active_ = false;
};

std::unique_ptr<TFileStream> OpenFirstVolume(const char* volumePattern) {
  platform::PathText name;
  if (!FormatVolumeName(volumePattern, 0, name)) throw EArchiveError("Could not open archive file!");
  try {
    return std::make_unique<TFileStream>(name.c_str(), FileMode::OpenReadShared);
  } catch (const EFOpenError&) {
    throw EArchiveError("Could not open archive file!");
  }
}

}  // namespace

void ReadArchive(const char* volumePattern, const char* key, DirectoryList& list, ArchiveHeader& header) {
  platform::EnterRootFolder();
  list.Clear();
  const std::unique_ptr<TFileStream> volume = OpenFirstVolume(volumePattern);
  // Declared after the volume, so it is wiped before the volume is closed.
  DirectoryCipher cipher;

  std::uint8_t headerBytes[kArchiveHeaderSize] = {};
  const std::int32_t headerRead = volume->Read(headerBytes, kArchiveHeaderSize);
  DecodeArchiveHeader(headerBytes, header);
  if (header.Encrypted == 1) cipher.Start(key);
  if (headerRead < static_cast<std::int32_t>(kArchiveHeaderSize)) throw EArchiveError("Error reading archive header!");

  for (std::int32_t i = 0; i < header.EntryCount; ++i) {
    std::uint8_t recordBytes[kDirectoryRecordSize];
    const std::int32_t recordRead = volume->Read(recordBytes, kDirectoryRecordSize);
    if (recordRead < static_cast<std::int32_t>(kDirectoryRecordSize)) throw EArchiveError("Error reading archive header!");
    if (cipher.Active()) cipher.Decipher(recordBytes, kDirectoryRecordSize);
    DirectoryRecord record;
    DecodeDirectoryRecord(recordBytes, record);
    list.Append(record);
  }
}

}  // namespace bzip2arc

