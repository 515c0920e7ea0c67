#include "Terminal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace arcset {

namespace {

#ifdef _WIN32
// _isatty also holds NUL for a terminal; only a console has a console mode.
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}
#endif

// "[#####-----]  50%"
std::string ProgressLine(int percent, int width) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  const int filled = percent * width / 100;
  std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(width - filled), '-') + "] ";
  const std::string number = std::to_string(percent);
  return line + std::string(3 - number.size(), ' ') + number + "%";
}

}  // namespace

bool StderrIsTerminal() {
#ifdef _WIN32
  return IsConsole(STD_ERROR_HANDLE);
#else
  return ::isatty(STDERR_FILENO) == 1;
#endif
}

bool StdinIsTerminal() {
#ifdef _WIN32
  return IsConsole(STD_INPUT_HANDLE);
#else
  return ::isatty(STDIN_FILENO) == 1;
#endif
}

void ProgressBar::Show(int percent) {
  if (percent == shown_ && lineOpen_) return;
  shown_ = percent;
  lineOpen_ = true;
  std::fprintf(stream_, "\r%s", ProgressLine(percent, 40).c_str());
  std::fflush(stream_);
}

void ProgressBar::EndLine() {
  if (!lineOpen_) return;
  lineOpen_ = false;
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

bool AskForDisk(int volume) {
  std::fprintf(stderr, "Please insert disk no. #%d! Press Enter when it is in place.\n", volume);
  std::fflush(stderr);
  for (;;) {
    const int c = std::fgetc(stdin);
    if (c == EOF) return false;
    if (c == '\n') return true;
  }
}

}  // namespace arcset
