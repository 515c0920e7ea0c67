// Paths for the "A" functions. The system reports paths in UTF-16; the loader
// and the library work in the ANSI code page, which may lack some of a path's
// characters (a user name in another script than the system's), and its
// functions take paths of fewer than MAX_PATH characters only.
#pragma once

#include <cstddef>

enum class PathProblem {
  None,
  TooLong,           // no form of the path fits
  NotRepresentable,  // a character has no equivalent in the ANSI code page
  Unavailable,       // the system reports no such path
};

// The longest path the loader takes in UTF-16 (the system's own limit).
constexpr std::size_t kWidePathCapacity = 32768;

// `wide` in the ANSI code page, character for character: no default
// character and no best fit (which turns "ł" silently into "l"), checked by
// converting back. `capacity` is at most MAX_PATH.
PathProblem ToAnsi(const wchar_t* wide, char* ansi, std::size_t capacity);

// The short 8.3 form of the existing path `path` (of any length), in the ANSI
// code page as ToAnsi gives it. Unavailable when the system has none.
PathProblem ShortAnsiPath(const wchar_t* path, char* ansi, std::size_t capacity);

// `path` without a "\\?\" or "\\?\UNC\" prefix, as the "A" functions take
// it ("\\?\UNC\server\x" becomes "\\server\x", changed in place).
wchar_t* WithoutExtendedPrefix(wchar_t* path);

// `path` as it stands when ToAnsi takes it, else its short form. When
// neither works, the short form's problem, or the long one's when there is
// no short form.
PathProblem AnsiPath(const wchar_t* path, char* ansi, std::size_t capacity);
