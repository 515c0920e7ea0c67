#include "arcset/ArcsetTestSupport.h"

#include <algorithm>
#include <chrono>

#include "PatchGenerator.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace arcsettest {

namespace fs = std::filesystem;

Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot snapshot;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    FileState state;
    state.Content = testsupport::ReadFileBytes(entry.path());
    state.Time = fs::last_write_time(entry.path());
    state.ReadOnly = (entry.status().permissions() & fs::perms::owner_write) == fs::perms::none;
    snapshot[entry.path().filename().string()] = state;
  }
  return snapshot;
}

void ExpectSameFiles(const Snapshot& actual, const Snapshot& expected) {
  std::vector<std::string> actualNames;
  std::vector<std::string> expectedNames;
  for (const auto& [name, state] : actual) actualNames.push_back(name);
  for (const auto& [name, state] : expected) expectedNames.push_back(name);
  ASSERT_EQ(actualNames, expectedNames);
  const auto recent = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (const auto& [name, state] : expected) {
    const FileState& other = actual.at(name);
    EXPECT_TRUE(other.Content == state.Content) << name;
    EXPECT_EQ(other.ReadOnly, state.ReadOnly) << name;
    if (state.Time < recent || other.Time < recent) {
      EXPECT_TRUE(other.Time == state.Time) << name;
    }
  }
}

void WriteInput(const fs::path& file, const Bytes& content, int minute, bool readOnly) {
  using namespace std::chrono;
  testsupport::WriteFileBytes(file, content);
  const sys_seconds when = sys_days{year{2021} / June / 15} + hours{10} + minutes{minute} + seconds{30};
  fs::last_write_time(file, file_clock::from_sys(when));
  if (readOnly) fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                  fs::perm_options::remove);
}

Bytes TextBytes(std::size_t length, std::uint32_t seed) {
  static const char* const words[] = {"archive ", "volume ", "setup ", "record ", "stream ", "the ", "of ",
                                      "disk ",    "file ",   "\n",     "bzip2 ",  "patch "};
  Bytes bytes;
  std::uint32_t state = seed;
  while (bytes.size() < length) {
    state = state * 1664525u + 1013904223u;
    const char* word = words[(state >> 16) % (sizeof words / sizeof words[0])];
    bytes.insert(bytes.end(), word, word + std::char_traits<char>::length(word));
  }
  bytes.resize(length);
  return bytes;
}

std::vector<std::string> VolumeNames(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bzip2arc::WriterEntry Entry(const std::string& name, const Bytes& content, std::uint32_t attributes) {
  bzip2arc::WriterEntry entry;
  entry.Name = name;
  entry.Content = content;
  entry.Attributes = attributes;
  entry.DateTime = 0x52CF5A6B;
  return entry;
}

bzip2arc::WriterEntry Patch(const std::string& name, const Bytes& from, const Bytes& to) {
  bzip2arc::WriterEntry entry = Entry(name, bzip2arc::patch::MakePatch(from, to));
  entry.Kind = bzip2arc::kKindPatch;
  return entry;
}

void WriteSet(const fs::path& folder, const std::vector<bzip2arc::WriterEntry>& entries, std::int64_t volumeSize) {
  bzip2arc::WriterOptions options;
  options.VolumeSize = volumeSize;
  options.Encrypt = false;
  bzip2arc::WriteArchiveSet(folder, bzip2arc::BuildArchiveSet(entries, options));
}

#ifdef _WIN32
constexpr const char* kTempVariable = "TMP";  // what GetTempPathA looks at first
#else
constexpr const char* kTempVariable = "TMPDIR";
#endif

PrivateWorkFolder::PrivateWorkFolder() {
  const char* saved = std::getenv(kTempVariable);
  hadValue_ = saved != nullptr;
  if (hadValue_) saved_ = saved;
#ifdef _WIN32
  ::SetEnvironmentVariableA(kTempVariable, folder_.Path().string().c_str());
#else
  ::setenv(kTempVariable, folder_.Path().string().c_str(), 1);
#endif
}

PrivateWorkFolder::~PrivateWorkFolder() {
#ifdef _WIN32
  ::SetEnvironmentVariableA(kTempVariable, hadValue_ ? saved_.c_str() : nullptr);
#else
  if (hadValue_) ::setenv(kTempVariable, saved_.c_str(), 1);
  else ::unsetenv(kTempVariable);
#endif
}

void ArcsetCli::SetUp() {
  if (!fs::exists(ProgramFolder() / "arcset") && !fs::exists(ProgramFolder() / "arcset.exe"))
    GTEST_SKIP() << "build the arcset target first";
}

ProcessResult ArcsetCli::Arcset(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  const fs::path program = ProgramFolder() / "arcset.exe";
#else
  const fs::path program = ProgramFolder() / "arcset";
#endif
  return RunProgram(program, arguments, scratch_.Path());
}

}  // namespace arcsettest
