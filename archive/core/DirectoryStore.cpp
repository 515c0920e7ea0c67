#include "DirectoryStore.h"

#include "Paths.h"

namespace bzip2arc {

DirectoryStore::DirectoryStore(const char* workFile)
    : workFile_(workFile), tail_(std::make_unique<Block>()), loaded_(std::make_unique<Block>()) {}

DirectoryStore::~DirectoryStore() = default;

void DirectoryStore::Append(const DirectoryRecord& record) {
  const std::size_t inBlock = count_ % kBlockRecords;
  EncodeDirectoryRecord(record, tail_->Bytes + inBlock * kDirectoryRecordSize);
  ++count_;
  if (inBlock + 1 < kBlockRecords) return;
  if (!file_) {
    // Beside the extraction's own work file, which may be open at the same time.
    file_ = std::make_unique<TFileStream>(JoinedPath(workFile_.View(), ".dir").c_str(), FileMode::CreateWorkFile);
  }
  file_->Seek(0, soEnd);
  file_->WriteBuffer(tail_->Bytes, sizeof(Block));
}

void DirectoryStore::LoadBlock(std::size_t block) {
  if (block == loadedBlock_) return;
  file_->SetPosition(static_cast<std::int32_t>(block * sizeof(Block)));
  file_->ReadBuffer(loaded_->Bytes, sizeof(Block));
  loadedBlock_ = block;
}

DirectoryRecord DirectoryStore::operator[](std::size_t index) {
  const std::size_t block = index / kBlockRecords;
  const std::uint8_t* bytes = nullptr;
  if (block == count_ / kBlockRecords) {
    bytes = tail_->Bytes;
  } else {
    LoadBlock(block);
    bytes = loaded_->Bytes;
  }
  DirectoryRecord record;
  DecodeDirectoryRecord(bytes + index % kBlockRecords * kDirectoryRecordSize, record);
  return record;
}

}  // namespace bzip2arc
