#include "AnsiPath.h"

#include <windows.h>

#include <cwchar>

#include "Globals.h"

namespace {

constexpr wchar_t kExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t kExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
  return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// Windows takes a path of MAX_PATH characters or more only in the "\\?\"
// form: "\\?\C:\..." or "\\?\UNC\server\share\...". Shorter ones stay.
bool ExtendedForm(const wchar_t* path, wchar_t* extended, std::size_t capacity) {
  const bool unc = path[0] == L'\\' && path[1] == L'\\';
  const wchar_t* prefix = std::wcslen(path) < MAX_PATH || StartsWith(path, kExtendedPrefix) ? L""
                          : unc                                                         ? kExtendedUncPrefix
                                                                                        : kExtendedPrefix;
  const wchar_t* rest = unc && *prefix != L'\0' ? path + 2 : path;
  if (std::wcslen(prefix) + std::wcslen(rest) >= capacity) return false;
  std::wcscpy(extended, prefix);
  std::wcscat(extended, rest);
  return true;
}

}  // namespace

wchar_t* WithoutExtendedPrefix(wchar_t* path) {
  if (StartsWith(path, kExtendedUncPrefix)) {
    wchar_t* server = path + std::wcslen(kExtendedUncPrefix) - 2;
    server[0] = L'\\';
    return server;
  }
  return StartsWith(path, kExtendedPrefix) ? path + std::wcslen(kExtendedPrefix) : path;
}

PathProblem ToAnsi(const wchar_t* wide, char* ansi, std::size_t capacity) {
  // With UTF-8 as the ANSI code page every character has its equivalent,
  // and the conversion takes neither the flag nor the default-used answer.
  const bool utf8 = GetACP() == CP_UTF8;
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, ansi,
                                         static_cast<int>(capacity), nullptr, utf8 ? nullptr : &usedDefault);
  if (length == 0) {
    if (capacity > 0) ansi[0] = '\0';
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? PathProblem::TooLong : PathProblem::NotRepresentable;
  }
  // What the "A" functions turn the text back into must be the same path.
  wchar_t back[kPathCapacity];
  if (usedDefault || MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, kPathCapacity) == 0 ||
      std::wcscmp(back, wide) != 0) {
    ansi[0] = '\0';
    return PathProblem::NotRepresentable;
  }
  return PathProblem::None;
}

PathProblem ShortAnsiPath(const wchar_t* path, char* ansi, std::size_t capacity) {
  if (capacity > 0) ansi[0] = '\0';
  wchar_t extended[kWidePathCapacity];
  if (!ExtendedForm(path, extended, kWidePathCapacity)) return PathProblem::TooLong;
  // Room for a short form that could still fit, and for its prefix.
  wchar_t shortPath[kPathCapacity + sizeof kExtendedUncPrefix / sizeof(wchar_t)];
  const DWORD length = GetShortPathNameW(extended, shortPath, sizeof shortPath / sizeof(wchar_t));
  if (length == 0) return PathProblem::Unavailable;
  if (length >= sizeof shortPath / sizeof(wchar_t)) return PathProblem::TooLong;
  return ToAnsi(WithoutExtendedPrefix(shortPath), ansi, capacity);
}

PathProblem AnsiPath(const wchar_t* path, char* ansi, std::size_t capacity) {
  const PathProblem asItStands = ToAnsi(path, ansi, capacity);
  if (asItStands == PathProblem::None) return asItStands;
  const PathProblem shortForm = ShortAnsiPath(path, ansi, capacity);
  return shortForm == PathProblem::Unavailable ? asItStands : shortForm;
}
