// Finding and reading other processes' windows without depending on them
// answering: texts come from the window manager's own copy, and the only
// messages sent carry a timeout.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

struct ControlInfo {
  HWND Window = nullptr;
  int Id = 0;
  std::string ClassName;
  std::string Text;
  DWORD Style = 0;
  RECT Rect{};  // screen coordinates
};

struct WindowInfo {
  HWND Window = nullptr;
  std::string ClassName;
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  bool Visible = false;
  RECT Rect{};
  DWORD ProcessId = 0;
  std::vector<ControlInfo> Controls;
};

std::string ClassOf(HWND window);
std::string TextOf(HWND window);
WindowInfo Describe(HWND window);

// Every top-level window of the desktop, in z-order.
std::vector<HWND> TopLevelWindows();

// The loader's progress dialog: a dialog whose control 102 holds `text`.
HWND FindProgressDialog(const std::string& text);
// A visible dialog-class window (message boxes are dialogs) with this
// caption, other than `except`.
HWND FindDialogByCaption(const std::string& caption, HWND except = nullptr);
// A visible top-level window of any class with this caption.
HWND FindWindowByCaption(const std::string& caption);

// PBM_GETPOS of a progress bar; -1 if it does not answer in time.
int ProgressPosition(HWND bar);
// Clicks a button as the keyboard or mouse would (BM_CLICK); false if the
// owner did not take the message in time.
bool ClickButton(HWND button);

// The text of a message box: its text control, whatever id the platform uses.
std::string MessageBoxText(const WindowInfo& box);

}  // namespace probe
