#include "CommandLine.h"

#include <cstring>
#include <cwchar>

#include "Text.h"

namespace {

bool IsSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code != 0 && code <= ' ';
}

// Ends a value that follows an opening quote. The platform's rule (as
// CommandLineToArgvW and the C runtime split a line): 2n backslashes before
// a quote are n backslashes and the quote ends the value. The value holds no
// quote of its own: the loader's splitting removes them.
bool CloseQuote(char* line, std::size_t capacity) {
  const std::size_t length = std::strlen(line);
  std::size_t backslashes = 0;
  while (backslashes < length && line[length - 1 - backslashes] == '\\') ++backslashes;
  for (; backslashes > 0; --backslashes) {
    if (!AppendText(line, capacity, "\\")) return false;
  }
  return AppendText(line, capacity, "\"");
}

}  // namespace

const char* NextArgument(const char* text, char* argument, std::size_t capacity, std::size_t& length) {
  for (;;) {
    while (IsSeparator(*text)) ++text;
    if (text[0] == '"' && text[1] == '"') {
      text += 2;
    } else {
      break;
    }
  }
  length = 0;
  auto take = [&](char c) {
    if (argument != nullptr && length + 1 < capacity) argument[length] = c;
    ++length;
  };
  while (*text != '\0' && !IsSeparator(*text)) {
    if (*text == '"') {
      ++text;
      while (*text != '\0' && *text != '"') take(*text++);
      if (*text != '\0') ++text;
    } else {
      take(*text++);
    }
  }
  if (argument != nullptr && capacity > 0) argument[length < capacity ? length : capacity - 1] = '\0';
  // A lone quote at the very end yields nothing: no argument is left.
  return length == 0 ? nullptr : text;
}

void CutToLoaderFolder(wchar_t* modulePath) {
  std::size_t at = std::wcslen(modulePath);
  if (at > 0) --at;
  while (at > 0 && modulePath[at] != L'\\') --at;
  modulePath[at] = L'\0';
}

bool BuildCommandLine(const char* tempDir, const char* loaderDir, const char* loaderCommandLine, char* commandLine,
                      std::size_t capacity) {
  bool fits = CopyText(commandLine, capacity, "\"") && AppendText(commandLine, capacity, tempDir) &&
              AppendText(commandLine, capacity, "\\Setup.bin") && CloseQuote(commandLine, capacity) &&
              AppendText(commandLine, capacity, " \"") && AppendText(commandLine, capacity, tempDir) &&
              CloseQuote(commandLine, capacity) && AppendText(commandLine, capacity, " \"") &&
              AppendText(commandLine, capacity, loaderDir) && CloseQuote(commandLine, capacity) &&
              AppendText(commandLine, capacity, " ");
  std::size_t length = 0;
  const char* rest = NextArgument(loaderCommandLine, nullptr, 0, length);  // the program name
  while (fits && rest != nullptr) {
    const char* const after = NextArgument(rest, nullptr, 0, length);
    if (after == nullptr) break;
    // ' "' + argument and the terminator; the argument is split straight
    // into its place.
    const std::size_t used = std::strlen(commandLine);
    if (length + 3 > capacity - used) return false;
    commandLine[used] = ' ';
    commandLine[used + 1] = '"';
    NextArgument(rest, commandLine + used + 2, length + 1, length);
    fits = CloseQuote(commandLine, capacity);
    rest = after;
  }
  return fits;
}
