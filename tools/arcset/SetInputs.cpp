#include "SetInputs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "PatchGenerator.h"

namespace arcset {

namespace fs = std::filesystem;

namespace {

// An input the set cannot hold (exit status 1).
[[noreturn]] void Reject(const std::string& reason) { throw std::runtime_error(reason); }

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

OpenFile OpenToRead(const fs::path& file) {
  errno = 0;
  OpenFile stream(std::fopen(file.string().c_str(), "rb"));
  if (!stream) Reject("cannot read " + Quoted(file) + ": " + std::strerror(errno));
  return stream;
}

// The files the INPUT operands stand for, in record order. A folder adds its
// regular files sorted by name; a folder inside it is an error, as the format
// has no folders.
// A volume of a set that create writes into a folder ("setup<N>.lib"), or
// its partial file (".setup<N>.lib.partial").
bool IsSetFile(std::string_view name) {
  constexpr std::string_view kPartial = ".partial";
  if (name.starts_with('.')) {
    if (!name.ends_with(kPartial)) return false;
    name = name.substr(1, name.size() - 1 - kPartial.size());
  }
  if (!name.starts_with("setup") || !name.ends_with(".lib")) return false;
  const std::string_view number = name.substr(5, name.size() - 9);
  return !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<fs::path> ExpandInputs(const std::vector<fs::path>& inputs, const fs::path& outputFolder) {
  std::vector<fs::path> files;
  for (const fs::path& input : inputs) {
    std::error_code error;
    const fs::file_status status = fs::status(input, error);
    if (!fs::exists(status)) Reject("cannot read " + Quoted(input) + ": no such file or folder");
    if (fs::is_regular_file(status)) {
      files.push_back(input);
      continue;
    }
    if (!fs::is_directory(status)) Reject("cannot read " + Quoted(input) + ": not a regular file");
    std::vector<fs::path> inside;
    // OUTDIR as an input: the set it holds is about to be replaced, not added.
    const bool isOutputFolder = fs::equivalent(input, outputFolder, error);
    for (const fs::directory_entry& entry : fs::directory_iterator(input)) {
      if (isOutputFolder && IsSetFile(entry.path().filename().string())) continue;
      if (entry.is_directory()) {
        Reject("folder " + Quoted(input) + " holds the folder " + Quoted(entry.path().filename()) +
               ": archive sets have no folders");
      }
      if (!entry.is_regular_file()) Reject("cannot read " + Quoted(entry.path()) + ": not a regular file");
      inside.push_back(entry.path());
    }
    std::sort(inside.begin(), inside.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

// Rejects names that the library would refuse to extract.
void CheckEntryName(const std::string& name) {
  if (name.size() > bzip2arc::kMaxNameLength)
    Reject("file name longer than 64 bytes: '" + name + "'");
  bzip2arc::CheckRecordName(name);
}

// 0x20 (archive), plus 0x01 (read-only) when nobody may write the file.
std::uint32_t AttributesOf(const fs::path& file) {
  std::error_code error;
  const fs::perms perms = fs::status(file, error).permissions();
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (perms & write) == fs::perms::none ? 0x21u : 0x20u;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& file) {
  const OpenFile stream = OpenToRead(file);
  std::vector<std::uint8_t> bytes;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (!error) {
    if (size > static_cast<std::uintmax_t>(INT32_MAX)) Reject("file larger than 2 GiB: " + Quoted(file));
    bytes.reserve(static_cast<std::size_t>(size));
  }
  std::uint8_t buffer[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream.get());
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) Reject("file larger than 2 GiB: " + Quoted(file));
    if (got < sizeof buffer) break;
  }
  if (std::ferror(stream.get())) Reject("cannot read " + Quoted(file) + ": " + std::strerror(errno));
  return bytes;
}

// The file can be read, and the format can hold it.
void CheckReadable(const fs::path& file) {
  OpenToRead(file);
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (!error && size > static_cast<std::uintmax_t>(INT32_MAX)) Reject("file larger than 2 GiB: " + Quoted(file));
}

// Whether two files hold the same bytes, read piece by piece.
bool SameContent(const fs::path& a, const fs::path& b) {
  const OpenFile x = OpenToRead(a), y = OpenToRead(b);
  std::vector<std::uint8_t> pieceX(1 << 16), pieceY(1 << 16);
  for (;;) {
    const std::size_t gotX = std::fread(pieceX.data(), 1, pieceX.size(), x.get());
    const std::size_t gotY = std::fread(pieceY.data(), 1, pieceY.size(), y.get());
    if (gotX != gotY || !std::equal(pieceX.begin(), pieceX.begin() + static_cast<std::ptrdiff_t>(gotX), pieceY.begin()))
      return false;
    if (gotX < pieceX.size()) return !std::ferror(x.get()) && !std::ferror(y.get());
  }
}

// The file's record; its content is read when the writer comes to it.
bzip2arc::WriterEntry EntryOf(const std::string& name, const fs::path& file) {
  CheckReadable(file);
  bzip2arc::WriterEntry entry;
  entry.Name = name;
  entry.ContentFile = file;
  entry.Attributes = AttributesOf(file);
  std::error_code error;
  const auto time = fs::last_write_time(file, error);
  if (error) Reject("cannot read the time of " + Quoted(file) + ": " + error.message());
  entry.DateTime = bzip2arc::DosDateTimeOf(time);
  return entry;
}

}  // namespace

std::vector<bzip2arc::WriterEntry> CollectEntries(const std::vector<fs::path>& inputs,
                                                  const std::vector<PatchRequest>& patches, const Names& names,
                                                  const fs::path& outputFolder) {
  std::vector<bzip2arc::WriterEntry> entries;
  // Windows folders hold one file per name, compared as Windows folds case
  // in the set's code page: folded name -> file name.
  std::map<std::u32string, std::string> taken;
  for (const fs::path& file : ExpandInputs(inputs, outputFolder)) {
    const std::string name = file.filename().string();
    const std::string stored = names.Stored(name);
    CheckEntryName(stored);
    const auto [at, added] = taken.emplace(names.Folded(stored), name);
    if (!added) Reject("two files named '" + at->second + "' and '" + name + "' (" + Quoted(file) + ")");
    entries.push_back(EntryOf(stored, file));
  }

  // Each patched name after its latest patch record.
  struct Patched {
    fs::path Content;
    std::uint32_t Attributes = 0;
  };
  std::map<std::string, Patched> patched;
  for (const PatchRequest& given : patches) {
    PatchRequest request = given;
    request.Name = names.Stored(given.Name);  // patch records repeat a file's name by design
    const auto original = std::find_if(entries.begin(), entries.end(), [&](const bzip2arc::WriterEntry& entry) {
      return entry.Kind == bzip2arc::kKindFile && entry.Name == request.Name;
    });
    if (original == entries.end())
      Reject("--patch " + given.Name + ": no file of that name is in the set before it");
    const auto latest = patched.find(request.Name);
    const fs::path& current = latest != patched.end() ? latest->second.Content : original->ContentFile;
    const std::uint32_t attributes = latest != patched.end() ? latest->second.Attributes : original->Attributes;
    if ((attributes & 0x01) != 0) {
      // Windows refuses to create a read-only file anew, which the patch step does.
      Reject("--patch " + given.Name + ": the set makes that file read-only before the patch");
    }
    if (!SameContent(request.Old, current)) {
      Reject("--patch " + given.Name + ": " + Quoted(request.Old) +
             " is not the content that the set gives that file at this point");
    }
    bzip2arc::WriterEntry entry = EntryOf(request.Name, request.New);
    entry.ContentFile.clear();
    // Made when the writer comes to it: only one patch's files are in memory at a time.
    entry.MakeContent = [oldFile = request.Old, newFile = request.New] {
      return bzip2arc::patch::MakePatch(ReadWholeFile(oldFile), ReadWholeFile(newFile));
    };
    entry.Kind = bzip2arc::kKindPatch;
    patched[request.Name] = Patched{request.New, entry.Attributes};
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace arcset
