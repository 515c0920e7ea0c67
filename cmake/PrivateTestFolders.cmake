# Every native test runs with TMPDIR set to a new folder of its own inside the
# build tree (tests/support/run-in-private-tmp), so that nothing the code under
# test does wrong beside its test folders reaches the machine's /tmp.
# tests/support/TempFolder refuses to make folders anywhere else.
# CMake before 3.29 has no test launcher: its cross-compiling emulator is what
# add_test and gtest_discover_tests put before a test program, cross-compiling
# or not. Both apply to the test programs defined after this point.
set(BZ2ARC_TEST_TEMP_ROOT ${CMAKE_BINARY_DIR}/test-tmp)
set(private_tmp_launcher ${PROJECT_SOURCE_DIR}/tests/support/run-in-private-tmp ${BZ2ARC_TEST_TEMP_ROOT})
if(CMAKE_VERSION VERSION_LESS 3.29)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${private_tmp_launcher})
else()
  set(CMAKE_TEST_LAUNCHER ${private_tmp_launcher})
endif()
