# Win32 programs of this build tree (tests, gtest discovery) run under Wine,
# in a prefix of the build tree's own, made on first use.
set(BZ2ARC_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${BZ2ARC_WINEPREFIX})
