#include "ExtractCommand.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "Locations.h"
#include "Names.h"
#include "ParallelDecoderFactory.h"
#include "ParallelExtract.h"
#include "Terminal.h"
#include "archive/core/ArchiveReader.h"
#include "archive/core/SetExtraction.h"

namespace arcset {

namespace {

// The terminal's side of a sequential extraction: the progress bar, and the
// disk prompt while someone is there to answer it.
class TerminalHooks final : public bzip2arc::ExtractionHooks {
 public:
  TerminalHooks(ProgressBar* bar, bool askForDisks) : bar_(bar), askForDisks_(askForDisks) {}

  void Progress(std::int32_t percent, std::int32_t, std::int32_t&) override {
    if (bar_ != nullptr) bar_->Show(percent);
  }
  bool DiskMissing(std::uint8_t volume) override {
    if (!askForDisks_) return false;
    if (bar_ != nullptr) bar_->EndLine();
    // At the end of the input the library fails as with nobody to ask.
    return AskForDisk(volume);
  }

 private:
  ProgressBar* bar_;
  bool askForDisks_;
};

std::string DestinationFolder(const std::filesystem::path& operand) {
  const std::string folder = AbsoluteFolder(operand.string());
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw std::runtime_error("cannot create the folder '" + folder + "': " + error.message());
  return folder;
}

}  // namespace

void ExtractSet(const ExtractRequest& request) {
  const std::string pattern = VolumePattern(request.Volumes, "extract");
  {
    // DEST is made only for a set that opens.
    bzip2arc::ArchiveHeader header;
    const bzip2arc::DirectoryReader opened(pattern.c_str(), request.Key.c_str(), header);
  }
  const std::string destination = DestinationFolder(request.Destination);

  const Names names(*CodePage::Find(request.CodePage));
  std::optional<ProgressBar> bar;
  if (StderrIsTerminal()) bar.emplace(stderr);
  if (request.Threads <= 1) {
    TerminalHooks hooks(bar ? &*bar : nullptr, StdinIsTerminal());
    const std::string workFile = PrivateWorkFile();
    bzip2arc::ExtractSet(pattern.c_str(), request.Key.c_str(), destination.c_str(),
                           {workFile.c_str(), &hooks, nullptr, bzip2arc::OutputMode::Replace, &names});
  } else {
    // N threads decode blocks, of whichever records are being decoded; N
    // more only feed them records ahead of the writer.
    bzip2arc::ParallelDecoderFactory decoders(request.Threads);
    ParallelExtractOptions options;
    options.Threads = request.Threads;
    options.Names = &names;
    options.Decoders = &decoders;
    if (bar) options.Progress = [&bar](int percent) { bar->Show(percent); };
    ParallelExtract(pattern, request.Key, destination, options);
  }
}

}  // namespace arcset
