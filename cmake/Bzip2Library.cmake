# Two flavours of libbz2:
#   bz2_decoder  what bzip2arc.dll links: decompression only
#   bz2_full     what tools and tests link: compression too
# Natively both are Debian's libbz2. For win32 both are compiled from Debian's
# bzip2 source package (fetched into .deps/ by scripts/fetch-bzip2-source) with
# BZ_NO_STDIO, so that the program supplies bz_internal_error (which jumps
# back to the caller's guard, archive/core/BZip2Guard.h). Without unwind tables
# the linker can also drop the parts of libbz2 the DLL does not use.
if(NOT WIN32)
  find_package(BZip2 REQUIRED)
  add_library(bz2_decoder INTERFACE)
  target_link_libraries(bz2_decoder INTERFACE BZip2::BZip2)
  add_library(bz2_full INTERFACE)
  target_link_libraries(bz2_full INTERFACE BZip2::BZip2)
  return()
endif()

set(BZIP2_SOURCE_DIR ${CMAKE_SOURCE_DIR}/.deps/bzip2)
if(NOT EXISTS ${BZIP2_SOURCE_DIR}/bzlib.c)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-bzip2-source RESULT_VARIABLE fetch_result)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "libbz2 sources missing: run scripts/setup first")
  endif()
endif()

function(bz2arc_libbz2 target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} SYSTEM PUBLIC ${BZIP2_SOURCE_DIR})
  target_compile_definitions(${target} PUBLIC BZ_NO_STDIO)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-asynchronous-unwind-tables -ffunction-sections
                                           -fdata-sections -w)
endfunction()

bz2arc_libbz2(bz2_decoder
  ${BZIP2_SOURCE_DIR}/bzlib.c
  ${BZIP2_SOURCE_DIR}/decompress.c
  ${BZIP2_SOURCE_DIR}/huffman.c
  ${BZIP2_SOURCE_DIR}/crctable.c
  ${BZIP2_SOURCE_DIR}/randtable.c
  ${CMAKE_SOURCE_DIR}/cmake/bzip2/compress_stub.c)

bz2arc_libbz2(bz2_full
  ${BZIP2_SOURCE_DIR}/bzlib.c
  ${BZIP2_SOURCE_DIR}/blocksort.c
  ${BZIP2_SOURCE_DIR}/compress.c
  ${BZIP2_SOURCE_DIR}/decompress.c
  ${BZIP2_SOURCE_DIR}/huffman.c
  ${BZIP2_SOURCE_DIR}/crctable.c
  ${BZIP2_SOURCE_DIR}/randtable.c)
