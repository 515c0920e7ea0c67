#include "ExtractionCallbacks.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "Globals.h"
#include "ProgressDialog.h"
#include "Text.h"

namespace {

constexpr int kProgressBarId = 123;

}  // namespace

void BZ2ARC_CALL ExtractProgress(int32_t percent, int32_t, int32_t* cancel) {
  SendMessageA(GetDlgItem(DialogHandle, kProgressBarId), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  // Without this the dialog would freeze and Cancel could never be clicked.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  *cancel = CancelRequested ? -1 : 0;
}

void BZ2ARC_CALL RequestDisk(uint8_t volume) {
  char text[40];
  FormatDiskPrompt(volume, text, sizeof text);
  // A user without the disk gets out as through the dialog's Cancel.
  if (MessageBoxA(nullptr, text, "Insert next disk", MB_OKCANCEL) == IDCANCEL) CancelSetup();
}

void FormatDiskPrompt(uint8_t volume, char* text, std::size_t capacity) {
  CopyText(text, capacity, "Please insert disk no. #");
  AppendDecimal(text, capacity, volume);
  AppendText(text, capacity, "!");
}
