# The shell namespace: item-ID lists, mount table, enumeration, names, order and the
# inotify change notifier, on namespaces built in temporary folders.
velko_add_gtest(velko_shell_namespace_tests
    SOURCES
        ${CMAKE_CURRENT_SOURCE_DIR}/ShellTestMain.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/ShellItemIdListTest.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/MountTableTest.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/ShellNamespaceTest.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/ShellChangeNotifierTest.cpp
    DEPS velko_platform velko_test_support)
target_include_directories(velko_shell_namespace_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_tests_properties(velko_shell_namespace_tests PROPERTIES LABELS tsan)
