#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "OutputFolder.h"

namespace bzip2arc::platform {

namespace {

// Letters and digits that no other process can guess.
void AppendRandomLetters(TextBuffer& text, int count) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<unsigned> calls{0};
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    // Early at boot: unique enough with the exclusive create behind it.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    bits = (static_cast<std::uint64_t>(now.tv_nsec) << 20) ^ static_cast<std::uint64_t>(now.tv_sec) ^
           (static_cast<std::uint64_t>(::getpid()) << 40) ^ (calls++ * 0x9E3779B97F4A7C15ull);
  }
  for (int i = 0; i < count; ++i, bits /= 62) text.Append(kLetters[bits % 62]);
}

}  // namespace

int LastSystemError() { return errno; }

bool ApplyAttributes(TFileStream& file, std::uint32_t attributes) {
  // The file was created with the usual permissions; only read-only changes them.
  if ((attributes & 0x01) == 0) return true;
  struct stat info;
  return ::fstat(file.Handle(), &info) == 0 && ::fchmod(file.Handle(), info.st_mode & ~0222) == 0;
}

OutputFolder::OutputFolder(std::string_view folder) {
  const PathText path(folder.empty() ? std::string_view(".") : folder);
  if (path.Truncated()) {
    errno = ENAMETOOLONG;
    return;
  }
  handle_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  open_ = handle_ >= 0;
}

OutputFolder::~OutputFolder() {
  if (open_) ::close(handle_);
}

bool OutputFolder::CreateUnique(std::string_view name, FileHandle& file, TextBuffer& uniqueName) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    uniqueName.Clear();
    uniqueName.Append('.').Append(name).Append(".arcset-");
    AppendRandomLetters(uniqueName, 6);
    if (uniqueName.Truncated()) {
      errno = ENAMETOOLONG;
      return false;
    }
    file = ::openat(handle_, uniqueName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file >= 0) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool OutputFolder::OpenRegular(std::string_view name, FileHandle& file, int& systemError) {
  const PathText entry(name);
  file = OpenRegularFile(handle_, entry.c_str(), O_NOFOLLOW, systemError);
  return file >= 0;
}

bool OutputFolder::Replace(std::string_view from, std::string_view to) {
  const PathText source(from), target(to);
  return ::renameat(handle_, source.c_str(), handle_, target.c_str()) == 0;
}

bool OutputFolder::Remove(std::string_view name) {
  const PathText entry(name);
  return ::unlinkat(handle_, entry.c_str(), 0) == 0;
}

}  // namespace bzip2arc::platform
