#include "CommandLine.h"

#include <cstring>

#include "Text.h"

namespace {

bool IsSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code != 0 && code <= ' ';
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

bool LoaderFolderOf(const char* modulePath, char* folder, std::size_t capacity) {
  std::size_t at = std::strlen(modulePath);
  if (at > 0) --at;
  while (at > 0 && modulePath[at] != '\\') --at;
  if (!CopyText(folder, capacity, "")) return false;
  return AppendChars(folder, capacity, modulePath, at);
}

bool BuildCommandLine(const char* tempDir, const char* loaderDir, const char* loaderCommandLine, char* commandLine,
                      std::size_t capacity) {
  bool fits = CopyText(commandLine, capacity, "\"") && AppendText(commandLine, capacity, tempDir) &&
              AppendText(commandLine, capacity, "\\Setup.bin\" \"") && AppendText(commandLine, capacity, tempDir) &&
              AppendText(commandLine, capacity, "\" \"") && AppendText(commandLine, capacity, loaderDir) &&
              AppendText(commandLine, capacity, "\" ");
  std::size_t length = 0;
  const char* rest = NextArgument(loaderCommandLine, nullptr, 0, length);  // the program name
  while (fits && rest != nullptr) {
    const char* const after = NextArgument(rest, nullptr, 0, length);
    if (after == nullptr) break;
    // ' "' + argument + '"' and the terminator; the argument is split
    // straight into its place.
    const std::size_t used = std::strlen(commandLine);
    if (length + 4 > capacity - used) return false;
    char* const place = commandLine + used + 2;
    NextArgument(rest, place, length + 1, length);
    commandLine[used] = ' ';
    commandLine[used + 1] = '"';
    place[length] = '"';
    place[length + 1] = '\0';
    rest = after;
  }
  return fits;
}
