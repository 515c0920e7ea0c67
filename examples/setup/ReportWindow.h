// A plain window that shows the report until the user closes it.
#pragma once

#include <windows.h>

#include <string>

namespace sample {

inline constexpr const char* kWindowCaption = "Corvane setup - sample main program";

// Runs the window's message loop; returns when the window has been closed.
int ShowReportWindow(HINSTANCE instance, const std::string& text);

}  // namespace sample
