#include "ArchiveWriter.h"

#include <bzlib.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "Parallel.h"
#include "archive/core/BZip2Guard.h"
#include "archive/core/Blowfish.h"

namespace bzip2arc {

namespace {

constexpr std::int64_t kMaxLogicalSize = INT32_MAX;

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

std::vector<std::uint8_t> EncipheredDirectory(std::vector<std::uint8_t> directory, const WriterOptions& options) {
  BlowfishContext context;
  BlowfishInit(context, options.Key.data(), static_cast<std::int32_t>(options.Key.size()), kDirectoryVector);
  EncipherBuffer(context, directory.data(), static_cast<std::int32_t>(directory.size()));
  BlowfishWipe(context);
  return directory;
}

// Compresses one entry's content as the archive stores it.
std::vector<std::uint8_t> CompressStream(const std::vector<std::uint8_t>& content, int blockSize100k) {
  // bzip2's documented worst case: 1% larger plus 600 bytes.
  auto capacity = static_cast<unsigned int>(content.size() + content.size() / 100 + 600);
  std::vector<std::uint8_t> out(capacity);
  char none = 0;  // libbz2 refuses a null source even for zero bytes
  char* source = content.empty() ? &none : const_cast<char*>(reinterpret_cast<const char*>(content.data()));
  const int result = CallLibbz2([&] {
    return BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &capacity, source,
                                    static_cast<unsigned int>(content.size()), blockSize100k, 0, 0);
  });
  if (result != BZ_OK) throw std::runtime_error("bzip2 compression failed (" + std::to_string(result) + ")");
  out.resize(capacity);
  return out;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> BuildArchiveSet(const std::vector<WriterEntry>& entries,
                                                       const WriterOptions& options) {
  CheckEntries(entries);
  if (entries.size() > static_cast<std::size_t>(INT32_MAX / kDirectoryRecordSize))
    throw std::runtime_error("too many files");
  const std::vector<std::size_t> order = StorageOrderOf(entries, options);

  std::vector<std::vector<std::uint8_t>> streams(entries.size());
  ParallelFor(entries.size(), options.Threads,
              [&](std::size_t i) { streams[i] = CompressStream(entries[i].Content, options.BlockSize100k); });

  const std::int64_t directoryEnd =
      static_cast<std::int64_t>(kArchiveHeaderSize + kDirectoryRecordSize * entries.size());
  std::int64_t logicalSize = directoryEnd;
  for (const auto& stream : streams) logicalSize += static_cast<std::int64_t>(stream.size());
  if (logicalSize > kMaxLogicalSize) throw std::runtime_error("archive set larger than 2 GiB");

  ArchiveHeader header;
  header.Encrypted = options.Encrypt ? 1 : 0;
  header.EntryCount = static_cast<std::int32_t>(entries.size());
  if (options.VolumeSize <= 0) {
    header.FirstVolumeSize = header.VolumeSize = static_cast<std::int32_t>(logicalSize);
  } else {
    const std::int64_t first = options.FirstVolumeSize > 0 ? options.FirstVolumeSize : options.VolumeSize;
    if (options.VolumeSize > kMaxLogicalSize || first > kMaxLogicalSize) throw std::runtime_error("volume size too large");
    if (first < directoryEnd)
      throw std::runtime_error("the first volume must hold the header and directory (" + std::to_string(directoryEnd) +
                        " bytes)");
    header.VolumeSize = static_cast<std::int32_t>(options.VolumeSize);
    header.FirstVolumeSize = static_cast<std::int32_t>(first);
    if (logicalSize > first) {
      const std::int64_t volumes = 1 + (logicalSize - first + options.VolumeSize - 1) / options.VolumeSize;
      if (volumes > kMaxVolumes) throw std::runtime_error("more than 256 volumes needed; choose a larger volume size");
    }
  }

  std::vector<DirectoryRecord> records(entries.size());
  std::int64_t offset = directoryEnd;
  for (const std::size_t i : order) {
    DirectoryRecord& record = records[i];
    const WriterEntry& entry = entries[i];
    record.SetName(entry.Name);
    record.Attributes = entry.Attributes;
    record.DateTime = entry.DateTime;
    record.Size = static_cast<std::int32_t>(entry.Content.size());
    record.Kind = entry.Kind;
    record.StartOffset = static_cast<std::int32_t>(offset);
    record.EndOffset = static_cast<std::int32_t>(offset + static_cast<std::int64_t>(streams[i].size()));
    record.Volume = static_cast<std::uint8_t>(LocateLogicalOffset(offset, header).Volume);
    offset = record.EndOffset;
  }

  std::vector<std::uint8_t> logical(static_cast<std::size_t>(logicalSize));
  EncodeArchiveHeader(header, logical.data());
  std::vector<std::uint8_t> directory(kDirectoryRecordSize * entries.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    EncodeDirectoryRecord(records[i], directory.data() + kDirectoryRecordSize * i);
  if (options.Encrypt) directory = EncipheredDirectory(std::move(directory), options);
  std::copy(directory.begin(), directory.end(), logical.begin() + kArchiveHeaderSize);
  for (std::size_t i = 0; i < records.size(); ++i)
    std::copy(streams[i].begin(), streams[i].end(), logical.begin() + records[i].StartOffset);

  std::vector<std::vector<std::uint8_t>> volumes;
  std::int64_t start = 0;
  std::int64_t share = header.FirstVolumeSize;
  do {
    const std::int64_t end = std::min(logicalSize, start + share);
    volumes.emplace_back(logical.begin() + start, logical.begin() + end);
    start = end;
    share = header.VolumeSize;
  } while (start < logicalSize);
  return volumes;
}

namespace {

// Writes `bytes` to `path` as a new file: a leftover of that name, or a link
// planted there, is removed rather than written through. Failures name `shown`.
void WriteNewFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                  const std::filesystem::path& shown) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);  // a link itself, not what it points to
#ifdef _WIN32
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  const bool written = static_cast<bool>(out);
#else
  // Exclusive: a link planted again since the removal fails the create.
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  bool written = file >= 0;
  for (std::size_t done = 0; written && done < bytes.size();) {
    const ssize_t n = ::write(file, bytes.data() + done, bytes.size() - done);
    written = n > 0 || (n < 0 && errno == EINTR);
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (file >= 0 && ::close(file) != 0) written = false;
#endif
  if (!written) throw std::runtime_error("cannot write " + shown.string());
}

}  // namespace

void WriteArchiveSet(const std::filesystem::path& folder, const std::vector<std::vector<std::uint8_t>>& volumes) {
  namespace fs = std::filesystem;
  auto volumeName = [&](std::size_t index) { return folder / ("setup" + std::to_string(index) + ".lib"); };
  auto partialName = [&](std::size_t index) { return folder / (".setup" + std::to_string(index) + ".lib.partial"); };

  std::error_code ignored;
  fs::create_directories(folder, ignored);
  std::size_t written = 0;
  try {
    for (; written < volumes.size(); ++written) {
      WriteNewFile(partialName(written), volumes[written], volumeName(written));
    }
    for (std::size_t i = 0; i < volumes.size(); ++i) {
      std::error_code error;
      fs::rename(partialName(i), volumeName(i), error);
      if (error) throw std::runtime_error("cannot create " + volumeName(i).string() + ": " + error.message());
    }
  } catch (...) {
    for (std::size_t i = 0; i <= written && i < volumes.size(); ++i) fs::remove(partialName(i), ignored);
    throw;
  }
  for (std::size_t i = volumes.size(); fs::exists(volumeName(i), ignored); ++i) fs::remove(volumeName(i), ignored);
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
