# GoogleTest for the win32 build, compiled from the sources of Debian's
# googletest package.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources missing at ${GOOGLETEST_SOURCE_DIR}: run scripts/setup")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(target gtest gtest_main)
  target_compile_options(${target} PUBLIC "SHELL:-include ${CMAKE_SOURCE_DIR}/cmake/gtest/win32-notification.h")
endforeach()
