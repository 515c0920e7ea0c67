# Win32 programs of this build tree (tests, gtest discovery) run under Wine,
# in a prefix of the build tree's own, made on first use.
set(BZ2ARC_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# A 64-bit prefix, where the 32-bit programs run in WOW64: some end-to-end cases run there too.
set(BZ2ARC_WINEPREFIX64 ${CMAKE_BINARY_DIR}/wineprefix64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${BZ2ARC_WINEPREFIX})
