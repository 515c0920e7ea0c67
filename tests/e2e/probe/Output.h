// The probe's output: one key=value line per fact, so that shell scripts can
// pick values with grep and sed.
#pragma once

#include <cstdio>
#include <string>

#include "Windows.h"

namespace probe {

// Control characters would break the one-line-per-value format.
std::string OneLine(const std::string& text);

void PrintWindow(std::FILE* out, const std::string& prefix, const WindowInfo& info);
// Every visible top-level window with its controls: what a failing script
// shows to explain what was on screen.
void PrintAllWindows(std::FILE* out);

}  // namespace probe
