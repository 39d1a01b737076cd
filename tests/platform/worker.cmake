# The worker-thread base, the worker-to-window messages and the cursor guard; also run under
# ThreadSanitizer (label "tsan").
velko_add_gtest(velko_worker_tests
    SOURCES
        ${CMAKE_CURRENT_SOURCE_DIR}/WorkerTestMain.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/WorkerTestSupport.h
        ${CMAKE_CURRENT_SOURCE_DIR}/WindowMessengerTest.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/WorkerThreadTest.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/WaitCursorTest.cpp
    DEPS velko_platform velko_test_support)
target_include_directories(velko_worker_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_tests_properties(velko_worker_tests PROPERTIES LABELS tsan)
