# Test set-up for the Windows build: GoogleTest built from Debian's sources with the cross
# compiler, a few POSIX calls the shared test helpers use, and tests that need POSIX tools left out.

# Debian ships GoogleTest for other targets only as sources.
set(TARNLOG_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TARNLOG_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# (Its build defines GTest::gtest and GTest::gtest_main itself.)
# Our own main instead: GoogleTest's, less the tests that run POSIX programs (windows_test_main.cc).
add_library(tarnlog_windows_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/windows_test_main.cc)
target_link_libraries(tarnlog_windows_test_main PUBLIC GTest::gtest)
set(TARNLOG_GTEST_MAIN tarnlog_windows_test_main)

# mkdtemp and the wait-status macros for the helpers shared with the Linux tests.
include_directories(BEFORE ${CMAKE_CURRENT_LIST_DIR}/compat)
add_compile_options(-include ${CMAKE_CURRENT_LIST_DIR}/compat/posix_compat.h)

# Files that cannot even be built for Windows: they fork and signal processes.
set(TARNLOG_TEST_FILES_LEFT_OUT "/(table_writer|write_ahead_log|open_for_writing)_test\\.cc$")

# The programs run under Wine when ctest runs them, so tests are listed then, not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
