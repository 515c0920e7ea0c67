// What the loader tells the user when the set-up cannot go on.
#pragma once

inline constexpr char kLibraryNotExtracted[] = "Could not extract decompression library!";
inline constexpr char kCallFailed[] = "Could not call decompression functions!";
inline constexpr char kExecuteFailed[] = "Could not execute main program!";
