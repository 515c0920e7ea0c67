// probe: watches the setup loader's windows from another process of the same
// Wine prefix, for the end-to-end scripts. Its messages carry a timeout, so
// a busy loader never blocks it.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

constexpr char kUsage[] =
    "usage: probe dialog [--min-pos N] | dialog-gone | box --caption TEXT [--press ok] [--other-than HWND] | windows\n"
    "  each waits up to --timeout MS (10000); exit status 0 done, 1 timed out, 2 usage, 3 click failed\n";
constexpr char kDialogText[] = "Setup is preparing the Corvane installation tool. Please wait...";

using Options = std::map<std::string, std::string>;

// From another process this is the window manager's copy: no message to a
// thread that may be busy.
std::string TextOf(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LRESULT SendWithTimeout(HWND window, UINT message) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) ? static_cast<LRESULT>(result) : -1;
}

// What a failing script shows to explain what was on screen.
void ListWindows(std::FILE* out) {
  for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, nullptr, nullptr)) {
    if (!IsWindowVisible(window)) continue;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    std::fprintf(out, "window %p %s \"%s\":", static_cast<void*>(window), className, TextOf(window).c_str());
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      std::fprintf(out, " [%d \"%s\"]", GetDlgCtrlID(child), TextOf(child).c_str());
    }
    std::fprintf(out, "\n");
  }
}

// A visible dialog-class window (message boxes are dialogs too) that `wanted` accepts.
template <class Wanted>
HWND FindDialog(Wanted wanted) {
  for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
    if (IsWindowVisible(window) && wanted(window)) return window;
  }
  return nullptr;
}

HWND ProgressDialog() {
  return FindDialog([](HWND window) { return TextOf(GetDlgItem(window, 102)) == kDialogText; });
}

// Polls `done` until it holds or --timeout has passed.
template <class Done>
int WaitFor(const Options& options, const char* what, Done done) {
  const DWORD start = GetTickCount(), timeout = std::atol(options.count("--timeout") ? options.at("--timeout").c_str() : "10000");
  while (!done()) {
    if (GetTickCount() - start >= timeout) {
      std::fprintf(stderr, "probe: no %s after %lu ms; visible windows:\n", what, GetTickCount() - start);
      ListWindows(stderr);
      return 1;
    }
    Sleep(25);
  }
  return 0;
}

int Run(const std::string& command, Options options) {
  if (command == "windows") {
    ListWindows(stdout);
    return 0;
  }
  if (command == "dialog-gone") return WaitFor(options, "closing of the progress dialog", [] { return !ProgressDialog(); });
  if (command == "dialog") {
    const long minimum = std::atol(options["--min-pos"].c_str());
    HWND dialog = nullptr;
    LRESULT position = -1;
    const int status = WaitFor(options, "progress dialog", [&] {
      dialog = ProgressDialog();
      return dialog != nullptr && (position = SendWithTimeout(GetDlgItem(dialog, 123), PBM_GETPOS)) >= minimum;
    });
    if (status != 0) return status;
    RECT cancel{};
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    std::printf("pos=%ld\ncancel=%ld %ld %ld %ld\n", static_cast<long>(position), cancel.left, cancel.top, cancel.right,
                cancel.bottom);
    return 0;
  }
  if (command == "box" && options.count("--caption")) {
    const HWND other = reinterpret_cast<HWND>(std::strtoul(options["--other-than"].c_str(), nullptr, 16));
    HWND box = nullptr;
    // A box is there as soon as it exists; its text may come a moment later.
    const int status = WaitFor(options, "message box", [&] {
      box = FindDialog([&](HWND window) { return window != other && TextOf(window) == options["--caption"]; });
      return box != nullptr && !TextOf(GetDlgItem(box, 0xFFFF)).empty();
    });
    if (status != 0) return status;
    std::printf("box.window=%p\nbox.text=%s\n", static_cast<void*>(box), TextOf(GetDlgItem(box, 0xFFFF)).c_str());
    if (options["--press"] != "ok") return 0;
    return SendWithTimeout(GetDlgItem(box, IDOK), BM_CLICK) == 0 ? 0 : 3;
  }
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 2; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  const int status = Run(argc > 1 ? argv[1] : "", options);
  std::fflush(stdout);
  return status;
}
