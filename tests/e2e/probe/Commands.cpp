#include "Commands.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "Output.h"
#include "Windows.h"

namespace probe {

namespace {

constexpr const char* kDialogText = "Setup is preparing the Corvane installation tool. Please wait...";
constexpr int kProgressBarId = 123;
constexpr DWORD kPollMs = 25;

class Deadline {
 public:
  explicit Deadline(long milliseconds) : start_(GetTickCount()), length_(static_cast<DWORD>(milliseconds)) {}
  bool Passed() const { return GetTickCount() - start_ >= length_; }
  DWORD Elapsed() const { return GetTickCount() - start_; }

 private:
  DWORD start_;
  DWORD length_;
};

long TimeoutOf(const Options& options) { return options.Number("timeout", 10000); }

std::string RequiredText(const Options& options, const std::string& name) {
  if (!options.Has(name)) throw std::invalid_argument("--" + name + " is required");
  return options.Text(name);
}

int TimedOut(const char* what, const Deadline& deadline) {
  std::fprintf(stdout, "timeout=%s after %lu ms\n", what, deadline.Elapsed());
  std::fprintf(stderr, "probe: timed out waiting for %s; visible windows:\n", what);
  PrintAllWindows(stderr);
  return kTimedOut;
}

HWND HandleOption(const Options& options, const std::string& name) {
  if (!options.Has(name)) return nullptr;
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoul(options.Text(name), nullptr, 16)));
}

}  // namespace

int WaitForDialog(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const std::string text = options.Text("text", kDialogText);
  const long minimum = options.Number("min-pos", -1);
  for (;;) {
    HWND dialog = FindProgressDialog(text);
    if (dialog && IsWindowVisible(dialog)) {
      int position = ProgressPosition(GetDlgItem(dialog, kProgressBarId));
      if (position >= minimum) {
        std::fprintf(stdout, "waited=%lu\n", deadline.Elapsed());
        PrintWindow(stdout, "dialog", Describe(dialog));
        return kDone;
      }
    }
    if (deadline.Passed()) return TimedOut("the progress dialog", deadline);
    Sleep(kPollMs);
  }
}

int WaitForDialogGone(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const std::string text = options.Text("text", kDialogText);
  for (;;) {
    HWND dialog = FindProgressDialog(text);
    if (!dialog || !IsWindowVisible(dialog)) {
      std::fprintf(stdout, "gone=%lu\n", deadline.Elapsed());
      return kDone;
    }
    if (deadline.Passed()) return TimedOut("the progress dialog to close", deadline);
    Sleep(kPollMs);
  }
}

int ClickCancel(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const long minimum = options.Number("min-pos", -1);
  for (;;) {
    HWND dialog = FindProgressDialog(kDialogText);
    if (dialog && IsWindowVisible(dialog) && ProgressPosition(GetDlgItem(dialog, kProgressBarId)) >= minimum) {
      PrintWindow(stdout, "dialog", Describe(dialog));
      bool clicked = ClickButton(GetDlgItem(dialog, IDCANCEL));
      std::fprintf(stdout, "clicked=%s\n", clicked ? "Cancel" : "none");
      return clicked ? kDone : kFailed;
    }
    if (deadline.Passed()) return TimedOut("the progress dialog", deadline);
    Sleep(kPollMs);
  }
}

int WaitForBox(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const std::string caption = RequiredText(options, "caption");
  const HWND previous = HandleOption(options, "other-than");
  HWND box = nullptr;
  while (!(box = FindDialogByCaption(caption, previous))) {
    if (deadline.Passed()) return TimedOut(("a box \"" + caption + "\"").c_str(), deadline);
    Sleep(kPollMs);
  }
  // A box is found as soon as it exists; its text control may come a moment later.
  WindowInfo info = Describe(box);
  while (MessageBoxText(info).empty() && !deadline.Passed()) {
    Sleep(kPollMs);
    info = Describe(box);
  }
  std::fprintf(stdout, "waited=%lu\n", deadline.Elapsed());
  std::fprintf(stdout, "box.text=%s\n", OneLine(MessageBoxText(info)).c_str());
  PrintWindow(stdout, "box", info);

  const std::string press = options.Text("press");
  if (press.empty()) return kDone;
  int id = press == "ok" ? IDOK : press == "cancel" ? IDCANCEL : 0;
  if (id == 0) throw std::invalid_argument("--press takes ok or cancel");
  HWND button = GetDlgItem(box, id);
  bool clicked = button && ClickButton(button);
  std::fprintf(stdout, "clicked=%s\n", clicked ? press.c_str() : "none");
  return clicked ? kDone : kFailed;
}

int WaitForBoxGone(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const std::string caption = RequiredText(options, "caption");
  for (;;) {
    if (!FindDialogByCaption(caption)) {
      std::fprintf(stdout, "gone=%lu\n", deadline.Elapsed());
      return kDone;
    }
    if (deadline.Passed()) return TimedOut(("the box \"" + caption + "\" to close").c_str(), deadline);
    Sleep(kPollMs);
  }
}

int WaitForWindow(const Options& options) {
  const Deadline deadline(TimeoutOf(options));
  const std::string caption = RequiredText(options, "caption");
  HWND window = nullptr;
  while (!(window = FindWindowByCaption(caption))) {
    if (deadline.Passed()) return TimedOut(("a window \"" + caption + "\"").c_str(), deadline);
    Sleep(kPollMs);
  }
  std::fprintf(stdout, "waited=%lu\n", deadline.Elapsed());
  PrintWindow(stdout, "window", Describe(window));
  if (!options.Has("close")) return kDone;
  DWORD_PTR result = 0;
  bool closed = SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) != 0;
  std::fprintf(stdout, "closed=%d\n", closed ? 1 : 0);
  return closed ? kDone : kFailed;
}

int ListWindows(const Options&) {
  PrintAllWindows(stdout);
  return kDone;
}

int StartProgram(const Options& options) {
  if (options.Operands.size() != 1) throw std::invalid_argument("start takes one command line");
  UINT result = WinExec(options.Operands[0].c_str(), static_cast<UINT>(options.Number("show", SW_HIDE)));
  std::fprintf(stdout, "winexec=%u\n", result);
  return result > 31 ? kDone : kFailed;
}

int LoadDll(const Options& options) {
  if (options.Operands.size() != 1) throw std::invalid_argument("load takes one DLL path");
  HMODULE module = LoadLibraryA(options.Operands[0].c_str());
  std::fprintf(stdout, "loaded=%d\n", module ? 1 : 0);
  if (!module) return kFailed;
  FreeLibrary(module);
  return kDone;
}

}  // namespace probe
