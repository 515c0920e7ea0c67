#include "ArchiveReader.h"

#include <cstring>

#include "Platform.h"

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

std::unique_ptr<TFileStream> OpenFirstVolume(const char* volumePattern) {
  platform::PathText name;
  if (!FormatVolumeName(volumePattern, 0, name)) throw EArchiveError("Could not open archive file!");
  try {
    return std::make_unique<TFileStream>(name.c_str(), FileMode::OpenReadShared);
  } catch (const EFOpenError& failure) {
    EArchiveError error("Could not open archive file!");
    error.SetDetail(failure.Detail(), failure.SystemError());
    throw error;
  }
}

}  // namespace

DirectoryReader::DirectoryReader(const char* volumePattern, const char* key, ArchiveHeader& header)
    : volume_(OpenFirstVolume(volumePattern)) {
  std::uint8_t headerBytes[kArchiveHeaderSize] = {};
  const std::int32_t headerRead = volume_->Read(headerBytes, kArchiveHeaderSize);
  DecodeArchiveHeader(headerBytes, header);
  if (header.Encrypted == 1) cipher_.Start(key);
  if (headerRead < static_cast<std::int32_t>(kArchiveHeaderSize)) throw EArchiveError("Error reading archive header!");
  remaining_ = header.EntryCount;
}

DirectoryCipher::~DirectoryCipher() {
  if (active_) BlowfishWipe(context_);
}

void DirectoryCipher::Start(const char* key) {
  active_ = true;
  const std::int32_t length = key == nullptr ? 0 : static_cast<std::int32_t>(std::strlen(key));
  BlowfishInit(context_, reinterpret_cast<const std::uint8_t*>(key), length, kDirectoryVector);
}

bool DirectoryReader::Next(DirectoryRecord& record) {
  if (remaining_ <= 0) return false;
  std::uint8_t recordBytes[kDirectoryRecordSize];
  const std::int32_t recordRead = volume_->Read(recordBytes, kDirectoryRecordSize);
  if (recordRead < static_cast<std::int32_t>(kDirectoryRecordSize)) throw EArchiveError("Error reading archive header!");
  if (cipher_.Active()) cipher_.Decipher(recordBytes, kDirectoryRecordSize);
  DecodeDirectoryRecord(recordBytes, record);
  --remaining_;
  return true;
}

void ReadArchive(const char* volumePattern, const char* key, DirectoryList& list, ArchiveHeader& header) {
  platform::EnterRootFolder();
  list.Clear();
  DirectoryReader reader(volumePattern, key, header);
  DirectoryRecord record;
  while (reader.Next(record)) list.Append(record);
}

}  // namespace bzip2arc
