#include "Windows.h"

#include <commctrl.h>

namespace probe {

namespace {

constexpr UINT kMessageTimeoutMs = 3000;

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

std::string ClassOf(HWND window) {
  char name[256] = {};
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

std::string TextOf(HWND window) {
  // The window manager's copy: no message to a thread that may be busy.
  WCHAR wide[1024] = {};
  int length = InternalGetWindowText(window, wide, 1024);
  if (length <= 0) return {};
  char text[2048] = {};
  int converted = WideCharToMultiByte(CP_ACP, 0, wide, length, text, sizeof text - 1, nullptr, nullptr);
  return std::string(text, converted > 0 ? converted : 0);
}

namespace {

// Edit controls keep their text to themselves: ask for it, with a timeout.
std::string EditText(HWND edit) {
  constexpr int kLimit = 1 << 16;
  std::string text(kLimit, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(edit, WM_GETTEXT, kLimit, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &copied))
    return {};
  text.resize(copied < kLimit ? copied : 0);
  return text;
}

}  // namespace

WindowInfo Describe(HWND window) {
  WindowInfo info;
  info.Window = window;
  info.ClassName = ClassOf(window);
  info.Caption = TextOf(window);
  info.Style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  info.ExStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  info.Visible = IsWindowVisible(window) != FALSE;
  GetWindowRect(window, &info.Rect);
  GetWindowThreadProcessId(window, &info.ProcessId);
  for (HWND child : ChildWindows(window)) {
    if (GetParent(child) != window) continue;
    ControlInfo control;
    control.Window = child;
    control.Id = GetDlgCtrlID(child);
    control.ClassName = ClassOf(child);
    control.Text = lstrcmpiA(control.ClassName.c_str(), "Edit") == 0 ? EditText(child) : TextOf(child);
    control.Style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    GetWindowRect(child, &control.Rect);
    info.Controls.push_back(control);
  }
  return info;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND FindProgressDialog(const std::string& text) {
  for (HWND window : TopLevelWindows()) {
    if (ClassOf(window) != "#32770") continue;
    HWND label = GetDlgItem(window, 102);
    if (label && TextOf(label) == text) return window;
  }
  return nullptr;
}

HWND FindDialogByCaption(const std::string& caption, HWND except) {
  for (HWND window : TopLevelWindows()) {
    if (window == except) continue;
    if (ClassOf(window) == "#32770" && IsWindowVisible(window) && TextOf(window) == caption) return window;
  }
  return nullptr;
}

HWND FindWindowByCaption(const std::string& caption) {
  for (HWND window : TopLevelWindows()) {
    if (IsWindowVisible(window) && TextOf(window) == caption) return window;
  }
  return nullptr;
}

int ProgressPosition(HWND bar) {
  DWORD_PTR position = 0;
  if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &position)) return -1;
  return static_cast<int>(position);
}

bool ClickButton(HWND button) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result) != 0;
}

std::string MessageBoxText(const WindowInfo& box) {
  for (const ControlInfo& control : box.Controls) {
    if (control.Id == 0xFFFF && !control.Text.empty()) return control.Text;
  }
  for (const ControlInfo& control : box.Controls) {
    bool isStatic = lstrcmpiA(control.ClassName.c_str(), "Static") == 0;
    bool isIcon = (control.Style & SS_TYPEMASK) == SS_ICON;
    if (isStatic && !isIcon && !control.Text.empty()) return control.Text;
  }
  return {};
}

}  // namespace probe
