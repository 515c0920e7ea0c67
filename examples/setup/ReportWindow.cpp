#include "ReportWindow.h"

namespace sample {

namespace {

constexpr const char* kClassName = "CorvaneSampleReport";
constexpr int kTextId = 100;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;

class Font {
 public:
  explicit Font(HFONT font) : font_(font) {}
  ~Font() {
    if (font_) DeleteObject(font_);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT Get() const { return font_; }

 private:
  HFONT font_;
};

void Layout(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  const int textHeight = height - 3 * kMargin - kButtonHeight;
  MoveWindow(GetDlgItem(window, kTextId), kMargin, kMargin, width - 2 * kMargin, textHeight > 0 ? textHeight : 0, TRUE);
  MoveWindow(GetDlgItem(window, IDOK), width - kMargin - kButtonWidth, height - kMargin - kButtonHeight, kButtonWidth,
             kButtonHeight, TRUE);
}

LRESULT CALLBACK ReportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(window);
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize.x = 320;
      limits->ptMinTrackSize.y = 200;
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateReportWindow(HINSTANCE instance, HFONT textFont, const std::string& text) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ReportWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return nullptr;

  RECT area{0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const int width = 720;
  const int height = 440;
  const int x = area.left + ((area.right - area.left) - width) / 2;
  const int y = area.top + ((area.bottom - area.top) - height) / 2;
  HWND window = CreateWindowExA(0, kClassName, kWindowCaption, WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                nullptr, instance, nullptr);
  if (!window) return nullptr;

  HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", text.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_TABSTOP,
                              0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance,
                              nullptr);
  HWND close = CreateWindowExA(0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0,
                               0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(textFont), FALSE);
  SendMessageA(close, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  Layout(window);
  return window;
}

}  // namespace

int ShowReportWindow(HINSTANCE instance, const std::string& text) {
  Font textFont(CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New"));
  HWND window = CreateReportWindow(instance, textFont.Get(), text);
  if (!window) return 1;

  // The setup loader starts this program with SW_HIDE. Windows hands that to
  // the process's first ShowWindow in place of the command it asks for, so
  // ask again until the window really is on screen.
  for (int attempt = 0; attempt < 3 && !IsWindowVisible(window); ++attempt) ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  UpdateWindow(window);
  SetFocus(GetDlgItem(window, IDOK));

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace sample
