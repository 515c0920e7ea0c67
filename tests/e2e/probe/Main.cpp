// probe: reads the setup loader's windows from another process of the same
// Wine prefix, for the end-to-end scripts. Every command waits with a
// timeout and prints what it found as key=value lines.
#include <cstdio>
#include <stdexcept>

#include "Commands.h"
#include "Options.h"

namespace {

constexpr const char* kUsageText =
    "usage: probe COMMAND [OPTIONS]\n"
    "  dialog [--timeout MS] [--min-pos N] [--text TEXT]  wait for the progress dialog\n"
    "  dialog-gone [--timeout MS]                          wait until it is closed\n"
    "  cancel [--timeout MS] [--min-pos N]                 click its Cancel button\n"
    "  box --caption TEXT [--timeout MS] [--press ok|cancel] [--other-than HWND]\n"
    "                                                      wait for a message box\n"
    "  box-gone --caption TEXT [--timeout MS]              wait until it is closed\n"
    "  window --caption TEXT [--timeout MS] [--close]      wait for a visible window\n"
    "  windows                                             list the visible windows\n"
    "  start [--show N] COMMAND-LINE                       WinExec (default SW_HIDE)\n"
    "  load DLL                                            LoadLibraryA and FreeLibrary\n"
    "exit status: 0 done, 1 timed out, 2 usage, 3 action failed\n";

int Run(const probe::Options& options) {
  const std::string& command = options.Command;
  if (command == "dialog") return probe::WaitForDialog(options);
  if (command == "dialog-gone") return probe::WaitForDialogGone(options);
  if (command == "cancel") return probe::ClickCancel(options);
  if (command == "box") return probe::WaitForBox(options);
  if (command == "box-gone") return probe::WaitForBoxGone(options);
  if (command == "window") return probe::WaitForWindow(options);
  if (command == "windows") return probe::ListWindows(options);
  if (command == "start") return probe::StartProgram(options);
  if (command == "load") return probe::LoadDll(options);
  throw std::invalid_argument("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  int status = probe::kUsage;
  try {
    status = Run(probe::ParseOptions(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "probe: %s\n%s", error.what(), kUsageText);
  }
  std::fflush(stdout);
  return status;
}
