# Shared settings for the project's targets.

function(velko_apply_settings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_STRICT_ITERATORS)
    if(VELKO_SANITIZER)
        target_compile_options(${target} PRIVATE -fsanitize=${VELKO_SANITIZER} -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=${VELKO_SANITIZER})
    endif()
    if(VELKO_FUZZ)
        # Coverage for libFuzzer in every library; the fuzz targets add the driver.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()

# velko_add_library(name SOURCES ... [DEPS ...])
# One static library per subsystem; DEPS are public, so dependencies point one way.
function(velko_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SOURCES)
        # A subsystem whose first files are not written yet still links.
        set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
        file(WRITE ${empty} "// This subsystem has no sources yet.\n")
        set(ARG_SOURCES ${empty})
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    velko_apply_settings(${name})
endfunction()

# velko_add_gtest(name SOURCES ... [DEPS ...] [ENV ...])
# A GoogleTest program run by ctest, offscreen so that it needs no display.
function(velko_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    velko_apply_settings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}" TIMEOUT 300)
endfunction()

# velko_add_qtest(name SOURCES ... [DEPS ...] [ENV ...])
# A Qt Test program for widgets, offscreen.
function(velko_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} Qt6::Test)
    velko_apply_settings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}" TIMEOUT 300)
endfunction()
