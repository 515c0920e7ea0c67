#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "Platform.h"

namespace bzip2arc {

namespace {

// An existing file to read. A folder opens here too (not on Windows), but it
// is no file: reading it would fail only later, with a less helpful message.
int OpenExistingFile(const char* fileName) {
  const int handle = ::open(fileName, O_RDONLY | O_CLOEXEC);
  struct stat info;
  if (handle >= 0 && (::fstat(handle, &info) != 0 || S_ISDIR(info.st_mode))) {
    ::close(handle);
    return -1;
  }
  return handle;
}

// A file without a name in the folder of `fileName`: nothing is left behind
// however the process ends, and no other process can reach it by name.
int OpenUnnamedFile(const char* fileName) {
  const std::string_view path(fileName);
  const std::size_t slash = path.rfind('/');
  platform::PathText folder(slash == path.npos ? std::string_view(".") : path.substr(0, slash + 1));
#ifdef O_TMPFILE
  const int handle = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (handle >= 0) return handle;
#endif
  // File systems without O_TMPFILE: a unique name, unlinked at once.
  platform::PathText pattern(path);
  pattern.Append(".XXXXXX");
  if (pattern.Truncated()) return -1;
  char name[platform::kMaxPath];
  pattern.View().copy(name, pattern.Length());
  name[pattern.Length()] = '\0';
  const int fallback = ::mkostemp(name, O_CLOEXEC);
  if (fallback >= 0) ::unlink(name);
  return fallback;
}

}  // namespace

TFileStream::TFileStream(const char* fileName, FileMode mode) {
  if (mode == FileMode::OpenReadShared) {
    handle_ = OpenExistingFile(fileName);
  } else if (mode == FileMode::CreateWorkFile) {
    handle_ = OpenUnnamedFile(fileName);
  } else {
    handle_ = ::open(fileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  }
  if (handle_ < 0) platform::RaiseFileError(mode, fileName);
  open_ = true;
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  auto* bytes = static_cast<char*>(buffer);
  std::int32_t done = 0;
  // A regular file may still hand out less than asked; only the end stops us.
  while (done < count) {
    const ssize_t n = ::read(handle_, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EReadError("Stream read error");
    }
    if (n == 0) break;
    done += static_cast<std::int32_t>(n);
  }
  return done;
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const auto* bytes = static_cast<const char*>(buffer);
  std::int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle_, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::int32_t>(n);
  }
  return done;
}

std::int32_t TFileStream::Seek(std::int32_t offset, std::uint16_t origin) {
  int whence = SEEK_SET;
  if (origin == soCurrent) whence = SEEK_CUR;
  else if (origin == soEnd) whence = SEEK_END;
  const off_t position = ::lseek(handle_, offset, whence);
  if (position < 0 || position > INT32_MAX) throw EStreamError("Stream seek error");
  return static_cast<std::int32_t>(position);
}

namespace platform {

void CloseFile(FileHandle handle) { ::close(handle); }

void EnterRootFolder() {}

bool FileExists(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DuplicateFile(const char* from, const char* to) {
  const int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = ::write(out, buffer + written, static_cast<std::size_t>(n - written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      written += w;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  return ok;
}

bool RemoveFile(const char* path) { return ::unlink(path) == 0; }

void ApplyAttributes(const char* path, std::uint32_t attributes) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const mode_t mode = (attributes & 0x01) != 0 ? 0444 : 0666;
  ::chmod(path, mode & ~mask);
}

bool StampLastWriteTime(TFileStream& file, std::uint32_t dosDateTime) {
  const unsigned date = dosDateTime >> 16;
  const unsigned time = dosDateTime & 0xFFFF;
  const int day = static_cast<int>(date & 0x1F);
  const int month = static_cast<int>((date >> 5) & 0x0F);
  const int year = static_cast<int>(date >> 9) + 1980;
  const int seconds = static_cast<int>(time & 0x1F) * 2;
  const int minutes = static_cast<int>((time >> 5) & 0x3F);
  const int hours = static_cast<int>(time >> 11);
  if (day < 1 || month < 1 || month > 12 || hours > 23 || minutes > 59 || seconds > 59) return false;

  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hours;
  local.tm_min = minutes;
  local.tm_sec = seconds;
  local.tm_isdst = -1;
  const std::time_t stamp = std::mktime(&local);
  if (stamp == static_cast<std::time_t>(-1)) return false;
  // mktime normalises 31 February into March: that is no valid stamp.
  if (local.tm_mday != day || local.tm_mon != month - 1) return false;

  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = stamp;
  times[1].tv_nsec = 0;
  return ::futimens(file.Handle(), times) == 0;
}

PathText TemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  if (base == nullptr || *base == '\0') base = "/tmp";
  PathText path(base);
  if (path.View().back() != '/') path.Append('/');
  return path;
}

}  // namespace platform
}  // namespace bzip2arc
