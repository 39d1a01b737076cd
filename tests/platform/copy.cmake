# The program's file copy on real files in temporary folders; a full disk in a child process.
velko_add_gtest(velko_copy_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/CopyFileReadOnlySafeTest.cpp
    DEPS velko_platform)
