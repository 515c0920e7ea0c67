#include "ArchiveWriter.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <numeric>
#include <stdexcept>

#include "ParallelCompressor.h"
#include "VolumeOutput.h"
#include "archive/core/Blowfish.h"

namespace bzip2arc {

namespace {

constexpr std::int64_t kMaxLogicalSize = INT32_MAX;
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

void CheckEntries(const std::vector<WriterEntry>& entries) {
  for (const WriterEntry& entry : entries) {
    if (entry.Name.size() > kMaxNameLength)
      throw std::runtime_error("name longer than 64 characters: " + entry.Name);
    CheckRecordName(entry.Name);
    if (entry.Content.size() > static_cast<std::size_t>(INT32_MAX))
      throw std::runtime_error("file larger than 2 GiB: " + entry.Name);
  }
}

std::vector<std::size_t> StorageOrderOf(const std::vector<WriterEntry>& entries, const WriterOptions& options) {
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (options.StorageOrder.empty()) return order;
  std::vector<std::size_t> given = options.StorageOrder;
  std::vector<std::size_t> sorted = given;
  std::sort(sorted.begin(), sorted.end());
  if (sorted != order) throw std::runtime_error("storage order must name every entry once");
  return given;
}

// The directory cipher under the options' key: a bad key fails here.
BlowfishContext DirectoryCipher(const WriterOptions& options) {
  BlowfishContext context;
  BlowfishInit(context, options.Key.data(), static_cast<std::int32_t>(options.Key.size()), kDirectoryVector);
  return context;
}

// The logical byte sequence, cut into volumes as it grows.
class LogicalWriter {
 public:
  // `share`: of each volume after volume 0; 0 keeps everything in volume 0.
  LogicalWriter(VolumeOutput& output, std::int64_t firstShare, std::int64_t share)
      : output_(output), firstShare_(firstShare), share_(share) {}

  void Append(std::span<const std::uint8_t> bytes) {
    if (size_ + static_cast<std::int64_t>(bytes.size()) > kMaxLogicalSize)
      throw std::runtime_error("archive set larger than 2 GiB");
    while (!bytes.empty()) {
      const std::int64_t room = share_ > 0 ? (volume_ == 0 ? firstShare_ : share_) - offset_ : kMaxLogicalSize;
      if (room == 0) {
        if (++volume_ >= static_cast<std::size_t>(kMaxVolumes))
          throw std::runtime_error("more than 256 volumes needed; choose a larger volume size");
        offset_ = 0;
        continue;
      }
      const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(bytes.size())));
      output_.Write(volume_, offset_, bytes.first(take));
      offset_ += static_cast<std::int64_t>(take);
      size_ += static_cast<std::int64_t>(take);
      bytes = bytes.subspan(take);
    }
  }

  std::int64_t Size() const { return size_; }

 private:
  VolumeOutput& output_;
  const std::int64_t firstShare_;
  const std::int64_t share_;
  std::size_t volume_ = 0;
  std::int64_t offset_ = 0;  // in volume_
  std::int64_t size_ = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Gives the compressor the entry's content; returns its length.
std::int64_t CompressContent(const WriterEntry& entry, ParallelCompressor& compressor) {
  if (entry.ContentFile.empty()) {
    const std::vector<std::uint8_t> made = entry.MakeContent ? entry.MakeContent() : std::vector<std::uint8_t>{};
    const std::vector<std::uint8_t>& content = entry.MakeContent ? made : entry.Content;
    compressor.Write(content);
    return static_cast<std::int64_t>(content.size());
  }
  const std::string name = entry.ContentFile.string();
  errno = 0;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
  if (!file) throw std::runtime_error("cannot read '" + name + "': " + std::strerror(errno));
  std::vector<std::uint8_t> piece(kReadPiece);
  std::int64_t length = 0;
  for (;;) {
    const std::size_t got = std::fread(piece.data(), 1, piece.size(), file.get());
    length += static_cast<std::int64_t>(got);
    if (length > INT32_MAX) throw std::runtime_error("file larger than 2 GiB: '" + name + "'");
    compressor.Write({piece.data(), got});
    if (got < piece.size()) break;
  }
  if (std::ferror(file.get())) throw std::runtime_error("cannot read '" + name + "': " + std::strerror(errno));
  return length;
}

// Lays the set out into `output`; returns its logical size.
std::int64_t WriteSet(const std::vector<WriterEntry>& entries, const WriterOptions& options, VolumeOutput& output) {
  CheckEntries(entries);
  if (entries.size() > static_cast<std::size_t>(INT32_MAX / kDirectoryRecordSize))
    throw std::runtime_error("too many files");
  const std::vector<std::size_t> order = StorageOrderOf(entries, options);

  const std::int64_t directoryEnd =
      static_cast<std::int64_t>(kArchiveHeaderSize + kDirectoryRecordSize * entries.size());
  ArchiveHeader header;
  header.Encrypted = options.Encrypt ? 1 : 0;
  header.EntryCount = static_cast<std::int32_t>(entries.size());
  if (options.VolumeSize > 0) {
    const std::int64_t first = options.FirstVolumeSize > 0 ? options.FirstVolumeSize : options.VolumeSize;
    if (options.VolumeSize > kMaxLogicalSize || first > kMaxLogicalSize) throw std::runtime_error("volume size too large");
    if (first < directoryEnd)
      throw std::runtime_error("the first volume must hold the header and directory (" + std::to_string(directoryEnd) +
                        " bytes)");
    header.VolumeSize = static_cast<std::int32_t>(options.VolumeSize);
    header.FirstVolumeSize = static_cast<std::int32_t>(first);
  }
  BlowfishContext cipher{};
  if (options.Encrypt) cipher = DirectoryCipher(options);  // before anything is written

  LogicalWriter logical(output, header.FirstVolumeSize, header.VolumeSize);
  logical.Append(std::vector<std::uint8_t>(static_cast<std::size_t>(directoryEnd)));  // filled in at the end

  std::vector<DirectoryRecord> records(entries.size());
  std::size_t streamsDone = 0;
  ParallelCompressor compressor(options.BlockSize100k, options.Threads,
                                [&](std::span<const std::uint8_t> bytes, bool streamEnds) {
                                  logical.Append(bytes);
                                  if (!streamEnds) return;
                                  DirectoryRecord& record = records[order[streamsDone++]];
                                  record.EndOffset = static_cast<std::int32_t>(logical.Size());
                                });
  for (const std::size_t i : order) {
    const std::int64_t length = CompressContent(entries[i], compressor);
    if (length > INT32_MAX) throw std::runtime_error("file larger than 2 GiB: " + entries[i].Name);
    records[i].Size = static_cast<std::int32_t>(length);
    compressor.EndStream();
  }
  compressor.Flush();

  if (header.VolumeSize == 0) header.FirstVolumeSize = header.VolumeSize = static_cast<std::int32_t>(logical.Size());
  std::int32_t start = static_cast<std::int32_t>(directoryEnd);
  for (const std::size_t i : order) {
    DirectoryRecord& record = records[i];
    const WriterEntry& entry = entries[i];
    record.SetName(entry.Name);
    record.Attributes = entry.Attributes;
    record.DateTime = entry.DateTime;
    record.Kind = entry.Kind;
    record.StartOffset = start;
    record.Volume = static_cast<std::uint8_t>(LocateLogicalOffset(start, header).Volume);
    start = record.EndOffset;
  }

  std::vector<std::uint8_t> head(static_cast<std::size_t>(directoryEnd));
  EncodeArchiveHeader(header, head.data());
  std::vector<std::uint8_t> directory(kDirectoryRecordSize * entries.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    EncodeDirectoryRecord(records[i], directory.data() + kDirectoryRecordSize * i);
  if (options.Encrypt) EncipherBuffer(cipher, directory.data(), static_cast<std::int32_t>(directory.size()));
  BlowfishWipe(cipher);
  std::copy(directory.begin(), directory.end(), head.begin() + kArchiveHeaderSize);
  output.Write(0, 0, head);
  return logical.Size();
}

}  // namespace

std::vector<std::vector<std::uint8_t>> BuildArchiveSet(const std::vector<WriterEntry>& entries,
                                                       const WriterOptions& options) {
  VolumesInMemory volumes;
  WriteSet(entries, options, volumes);
  return std::move(volumes.Volumes());
}

WrittenSet CreateArchiveSet(const std::filesystem::path& folder, const std::vector<WriterEntry>& entries,
                            const WriterOptions& options) {
  VolumeFiles volumes(folder);
  const std::int64_t bytes = WriteSet(entries, options, volumes);
  volumes.Commit();
  return {volumes.Count(), bytes};
}

void WriteArchiveSet(const std::filesystem::path& folder, const std::vector<std::vector<std::uint8_t>>& volumes) {
  VolumeFiles files(folder);
  for (std::size_t i = 0; i < volumes.size(); ++i) files.Write(i, 0, volumes[i]);
  files.Commit();
}

std::uint32_t DosDateTimeOf(std::filesystem::file_time_type time) {
  const auto system = std::chrono::time_point_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(time));
  const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  if (local.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
  if (local.tm_year > 207) local.tm_year = 207;
  const std::uint32_t date = static_cast<std::uint32_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                                        local.tm_mday);
  const std::uint32_t clock =
      static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return date << 16 | clock;
}

}  // namespace bzip2arc
