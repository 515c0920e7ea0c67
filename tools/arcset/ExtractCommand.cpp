#include "ExtractCommand.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "ParallelExtract.h"
#include "Terminal.h"
#include "Volumes.h"
#include "archive/core/LibraryInterface.h"

#ifdef _WIN32
#include <windows.h>

#include <random>
#endif

namespace arcset {

namespace {

// The library's callbacks carry no context pointer: what they need lives here
// for the one extraction under way.
struct CallbackState {
  ProgressBar* Bar = nullptr;
};
CallbackState callbackState;

class CallbackScope {
 public:
  explicit CallbackScope(ProgressBar* bar) { callbackState.Bar = bar; }
  ~CallbackScope() { callbackState = CallbackState{}; }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;
};

void BZ2ARC_CALL ShowProgress(std::int32_t percent, std::int32_t, std::int32_t* cancel) {
  *cancel = 0;
  if (callbackState.Bar != nullptr) callbackState.Bar->Show(percent);
}

void BZ2ARC_CALL AskForVolume(std::uint8_t volume) {
  if (callbackState.Bar != nullptr) callbackState.Bar->EndLine();
  if (!AskForDisk(volume)) {
    // Input ended: give up the way the library does without anyone to ask.
    bzip2arc::MessageText message;
    message.Append("Disk #").Append(volume + 1).Append(" needed!");
    throw bzip2arc::EArchiveError(message);
  }
}

#ifdef _WIN32
// The library keeps its work file "bzin.tmp" in the system temporary folder,
// which GetTempPathA takes from TMP: a folder of our own lets several arcset
// runs extract at the same time.
class PrivateTempFolder {
 public:
  PrivateTempFolder() {
    char saved[MAX_PATH + 1];
    const DWORD length = ::GetEnvironmentVariableA("TMP", saved, sizeof saved);
    hadTmp_ = length > 0 && length < sizeof saved;
    if (hadTmp_) saved_ = saved;
    std::error_code error;
    folder_ = std::filesystem::temp_directory_path(error) / ("arcset-" + std::to_string(std::random_device{}()));
    if (error || !std::filesystem::create_directory(folder_, error)) {
      folder_.clear();
      return;
    }
    ::SetEnvironmentVariableA("TMP", folder_.string().c_str());
  }
  ~PrivateTempFolder() {
    if (folder_.empty()) return;
    ::SetEnvironmentVariableA("TMP", hadTmp_ ? saved_.c_str() : nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

 private:
  std::filesystem::path folder_;
  std::string saved_;
  bool hadTmp_ = false;
};
#else
// The library's work file has no name on POSIX: runs cannot collide.
struct PrivateTempFolder {};
#endif

std::string DestinationFolder(const std::filesystem::path& operand) {
  std::string folder = AbsolutePath(operand.string());
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == bzip2arc::platform::kPathSeparator)) {
    folder.pop_back();
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw std::runtime_error("cannot create the folder '" + folder + "': " + error.message());
  return folder;
}

}  // namespace

void ExtractSet(const ExtractRequest& request) {
  const std::string pattern = VolumePattern(request.Volumes, "extract");
  const std::string destination = DestinationFolder(request.Destination);

  [[maybe_unused]] const PrivateTempFolder workFolder;
  std::optional<ProgressBar> bar;
  if (StderrIsTerminal()) bar.emplace(stderr);
  if (request.Threads <= 1) {
    const CallbackScope scope(bar ? &*bar : nullptr);
    bzip2arc::ExtractAll(pattern.c_str(), request.Key.c_str(), destination.c_str(), bar ? ShowProgress : nullptr,
                         StdinIsTerminal() ? AskForVolume : nullptr);
  } else {
    ParallelExtractOptions options;
    options.Threads = request.Threads;
    if (bar) options.Progress = [&bar](int percent) { bar->Show(percent); };
    ParallelExtract(pattern, request.Key, destination, options);
  }
}

}  // namespace arcset
