// What the loader tells the user when the set-up cannot go on.
#pragma once

inline constexpr char kLibraryNotExtracted[] = "Could not extract decompression library!";
inline constexpr char kCallFailed[] = "Could not call decompression functions!";
inline constexpr char kExecuteFailed[] = "Could not execute main program!";

// A folder that the loader and the library can only reach through the "A"
// functions, when no form of its path is fit for them.
inline constexpr char kLoaderFolderTooLong[] = "The path of the setup program's folder is too long!";
inline constexpr char kLoaderFolderNotRepresentable[] =
    "The path of the setup program's folder has characters that this system's code page cannot represent!";
inline constexpr char kTempFolderTooLong[] = "The path of the temporary folder is too long!";
inline constexpr char kTempFolderNotRepresentable[] =
    "The path of the temporary folder has characters that this system's code page cannot represent!";
