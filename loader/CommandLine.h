// The command line with which the loader starts the main setup program, and
// the splitting of the loader's own command line into arguments. Pure text
// work, no platform calls.
#pragma once

#include <cstddef>

// Finds the next argument in `text`. Characters 1..32 separate arguments; a
// double quote opens a quoted part that runs to the next double quote (or the
// end) and may hold separators; the quotes are not part of the argument;
// pairs of double quotes in front of an argument are skipped.
// Returns null when no argument is left. Otherwise returns the position
// after the argument, sets `length` to the argument's full length and, when
// `argument` is not null, copies as much of it as `capacity` allows
// (zero-terminated).
const char* NextArgument(const char* text, char* argument, std::size_t capacity, std::size_t& length);

// LoaderDir: cuts the loader's own path to its folder, without a trailing
// backslash: everything before the last backslash that follows the first
// character ("D:" for "D:\setup.exe"; empty for a path without one).
void CutToLoaderFolder(wchar_t* modulePath);

// CommandLine: "<tempDir>\Setup.bin" "<tempDir>" "<loaderDir>" followed by
// a blank and each argument of `loaderCommandLine` after the program name,
// as ' "argument"'. With no arguments it ends in a single blank. Backslashes
// before a closing quote are doubled ("C:\Apps\" goes as "C:\Apps\\"), so
// that CommandLineToArgvW and the C runtime give Setup.bin every value as the
// loader split it. False if it does not fit into `capacity`.
bool BuildCommandLine(const char* tempDir, const char* loaderDir, const char* loaderCommandLine, char* commandLine,
                      std::size_t capacity);
