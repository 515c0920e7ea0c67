#include "Output.h"

#include <commctrl.h>

namespace probe {

namespace {

void PrintRect(std::FILE* out, const std::string& key, const RECT& rect) {
  std::fprintf(out, "%s=%ld %ld %ld %ld\n", key.c_str(), rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      line += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}

void PrintWindow(std::FILE* out, const std::string& prefix, const WindowInfo& info) {
  std::fprintf(out, "%s.window=0x%08lX\n", prefix.c_str(), static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(info.Window)));
  std::fprintf(out, "%s.class=%s\n", prefix.c_str(), OneLine(info.ClassName).c_str());
  std::fprintf(out, "%s.caption=%s\n", prefix.c_str(), OneLine(info.Caption).c_str());
  std::fprintf(out, "%s.style=0x%08lX\n", prefix.c_str(), info.Style);
  std::fprintf(out, "%s.exstyle=0x%08lX\n", prefix.c_str(), info.ExStyle);
  std::fprintf(out, "%s.visible=%d\n", prefix.c_str(), info.Visible ? 1 : 0);
  std::fprintf(out, "%s.process=%lu\n", prefix.c_str(), info.ProcessId);
  PrintRect(out, prefix + ".rect", info.Rect);
  std::fprintf(out, "%s.controls=%u\n", prefix.c_str(), static_cast<unsigned>(info.Controls.size()));
  for (const ControlInfo& control : info.Controls) {
    const std::string key = prefix + ".control." + std::to_string(control.Id);
    std::fprintf(out, "%s.class=%s\n", key.c_str(), OneLine(control.ClassName).c_str());
    std::fprintf(out, "%s.text=%s\n", key.c_str(), OneLine(control.Text).c_str());
    std::fprintf(out, "%s.style=0x%08lX\n", key.c_str(), control.Style);
    PrintRect(out, key + ".rect", control.Rect);
    if (lstrcmpiA(control.ClassName.c_str(), PROGRESS_CLASSA) == 0)
      std::fprintf(out, "%s.pos=%d\n", key.c_str(), ProgressPosition(control.Window));
  }
}

void PrintAllWindows(std::FILE* out) {
  int index = 0;
  for (HWND window : TopLevelWindows()) {
    if (!IsWindowVisible(window)) continue;
    PrintWindow(out, "seen." + std::to_string(index++), Describe(window));
  }
  std::fprintf(out, "seen.count=%d\n", index);
}

}  // namespace probe
