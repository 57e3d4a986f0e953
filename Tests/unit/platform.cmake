# Platform layer tests. They use the real backend of the system they run on;
# the helper program is what they start as a child process.
add_executable(platform_helper_child ${CMAKE_CURRENT_LIST_DIR}/platform_helper_child.cpp)
target_link_libraries(platform_helper_child PRIVATE OrvalisPlatform)
orvalis_warnings(platform_helper_child)

orvalis_add_test(NAME platform_shared_memory_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_shared_memory_test.cpp
  LIBS OrvalisPlatform LABELS threads DEPENDS_ON platform_helper_child)
orvalis_add_test(NAME platform_paths_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_paths_test.cpp
  LIBS OrvalisPlatform LABELS threads)
orvalis_add_test(NAME platform_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_process_test.cpp
  LIBS OrvalisPlatform LABELS threads DEPENDS_ON platform_helper_child)
orvalis_add_test(NAME platform_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_window_test.cpp
  LIBS OrvalisPlatform RESOURCE_LOCK viewer_window)
orvalis_add_test(NAME platform_system_info_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_system_info_test.cpp
  LIBS OrvalisPlatform)
