// What arcset shows on a terminal: the progress bar and the disk prompt.
#pragma once

#include <cstdio>
#include <string>

namespace arcset {

bool StderrIsTerminal();
bool StdinIsTerminal();

// Redraws one line on `stream` when the percentage changes; ends the line
// when destroyed or interrupted, so that other output starts on its own line.
class ProgressBar {
 public:
  explicit ProgressBar(std::FILE* stream) : stream_(stream) {}
  ~ProgressBar() { EndLine(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Show(int percent);
  void EndLine();

 private:
  std::FILE* stream_;
  int shown_ = -1;
  bool lineOpen_ = false;
};

// Asks on stderr for the disk that holds volume `volume` and waits for Enter
// on stdin. False when stdin ends instead.
bool AskForDisk(int volume);

}  // namespace arcset
