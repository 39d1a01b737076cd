# The screensaver inhibition against small services on a private session bus.
velko_add_gtest(velko_screensaver_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ScreenSaverInhibitorTest.cpp
    DEPS velko_platform velko_test_support Qt6::DBus)
