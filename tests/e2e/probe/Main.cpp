// probe: watches the setup loader's windows from another process of the same
// Wine prefix, for the end-to-end scripts. Its messages carry a timeout, so
// a busy loader never blocks it.
//
//   probe dialog [--min-pos N] [--press cancel] | dialog-gone | box --caption TEXT [--press ok|cancel|none]
//         [--other-than HWND] | boxes --caption TEXT --count N [--press ok|cancel|none] | windows
//
// Each waits up to --timeout MS (10000). Exit status: 0 done, 1 timed out,
// 2 usage, 3 click failed.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr char kDialogText[] = "Setup is preparing the Corvane installation tool. Please wait...";

// From another process this is the window manager's copy: no message to a
// thread that may be busy.
std::string TextOf(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// 3 s, times E2E_TIME_SCALE: a slow host answers messages slowly too.
DWORD MessageTimeout() {
  char scale[16] = {};
  GetEnvironmentVariableA("E2E_TIME_SCALE", scale, sizeof scale);
  const unsigned long factor = std::strtoul(scale, nullptr, 10);
  return 3000 * (factor > 0 ? factor : 1);
}

LRESULT SendWithTimeout(HWND window, UINT message) {
  DWORD_PTR result = 0;
  // No SMTO_ABORTIFHUNG: under emulation a loader busy for 5 s counts as hung.
  return SendMessageTimeoutA(window, message, 0, 0, SMTO_NORMAL, MessageTimeout(), &result) ? LRESULT(result) : -1;
}

// The first visible top-level window of `className` (any class: nullptr) that `wanted` accepts.
template <class Wanted>
HWND FindVisible(const char* className, Wanted wanted) {
  for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, className, nullptr)) {
    if (IsWindowVisible(window) && wanted(window)) return window;
  }
  return nullptr;
}

// The box's text, once it has one (it may come a moment after the box).
std::string BoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

// Presses OK or Cancel in a box; any other `press` leaves it open. False
// when the button is missing or the click failed.
bool Press(HWND box, const std::string& press) {
  if (press != "ok" && press != "cancel") return true;
  const HWND button = GetDlgItem(box, press == "ok" ? IDOK : IDCANCEL);
  return button != nullptr && SendWithTimeout(button, BM_CLICK) == 0;
}

// Message boxes are dialogs too.
HWND ProgressDialog() {
  return FindVisible("#32770", [](HWND window) { return TextOf(GetDlgItem(window, 102)) == kDialogText; });
}

// What a failing script shows to explain what was on screen.
void ListWindows() {
  FindVisible(nullptr, [](HWND window) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    std::printf("window %p %s \"%s\":", static_cast<void*>(window), className, TextOf(window).c_str());
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
      std::printf(" [%d \"%s\"]", GetDlgCtrlID(child), TextOf(child).c_str());
    std::printf("\n");
    return false;
  });
}

// Polls `done` until it holds (0) or `timeout` milliseconds have passed (1).
template <class Done>
int WaitFor(DWORD timeout, Done done) {
  for (const DWORD start = GetTickCount(); !done(); Sleep(25))
    if (GetTickCount() - start >= timeout) return 1;
  return 0;
}

int Run(const std::string& command, std::map<std::string, std::string> options) {
  options.emplace("--timeout", "10000");
  const DWORD timeout = std::strtoul(options["--timeout"].c_str(), nullptr, 10);
  if (command == "windows") {
    ListWindows();
    return 0;
  }
  if (command == "dialog-gone") return WaitFor(timeout, [] { return !ProgressDialog(); });
  if (command == "dialog") {
    const long minimum = std::atol(options["--min-pos"].c_str());
    HWND dialog = nullptr;
    LRESULT position = -1;
    if (WaitFor(timeout, [&] {
          dialog = ProgressDialog();
          return dialog != nullptr && (position = SendWithTimeout(GetDlgItem(dialog, 123), PBM_GETPOS)) >= minimum;
        }) != 0)
      return 1;
    RECT cancel{};
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    std::printf("pos=%ld\ncancel=%ld %ld %ld %ld\n", long(position), cancel.left, cancel.top, cancel.right,
                cancel.bottom);
    // The button itself, for when a box covers it on screen.
    if (options["--press"] == "cancel" && SendWithTimeout(GetDlgItem(dialog, IDCANCEL), BM_CLICK) != 0) return 3;
    return 0;
  }
  if (command == "box" && options.count("--caption")) {
    const HWND other = reinterpret_cast<HWND>(std::strtoul(options["--other-than"].c_str(), nullptr, 16));
    HWND box = nullptr;
    // A box is there as soon as it exists; its text may come a moment later.
    if (WaitFor(timeout, [&] {
          box = FindVisible("#32770", [&](HWND w) { return w != other && TextOf(w) == options["--caption"]; });
          return box != nullptr && !BoxText(box).empty();
        }) != 0)
      return 1;
    std::printf("box.window=%p\nbox.text=%s\n", static_cast<void*>(box), BoxText(box).c_str());
    return Press(box, options["--press"]) ? 0 : 3;
  }
  // The boxes of several loaders at once: waits until --count of them are up.
  if (command == "boxes" && options.count("--caption") && options.count("--count")) {
    const std::size_t count = std::strtoul(options["--count"].c_str(), nullptr, 10);
    std::vector<HWND> boxes;
    if (WaitFor(timeout, [&] {
          boxes.clear();
          FindVisible("#32770", [&](HWND w) {
            // A box raised while we walk the list comes round again.
            if (TextOf(w) == options["--caption"] && !BoxText(w).empty() &&
                std::find(boxes.begin(), boxes.end(), w) == boxes.end())
              boxes.push_back(w);
            return false;
          });
          return boxes.size() >= count;
        }) != 0)
      return 1;
    bool pressed = true;
    for (const HWND box : boxes) {
      std::printf("box.window=%p\nbox.text=%s\n", static_cast<void*>(box), BoxText(box).c_str());
      pressed = Press(box, options["--press"]) && pressed;
    }
    return pressed ? 0 : 3;
  }
  std::fputs("probe: see the head of tests/e2e/probe/Main.cpp for its usage\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 2; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  return Run(argc > 1 ? argv[1] : "", options);
}
