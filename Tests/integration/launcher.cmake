# The launcher against a stand-in viewer, started through the real search
# list from scratch folders. The window tests need a display (Xvfb on Linux;
# Wine's on Windows): run them under xvfb-run.
add_executable(fake_viewer ${CMAKE_CURRENT_LIST_DIR}/fake_viewer.cpp)
orvalis_warnings(fake_viewer)
if(WIN32)
  set_target_properties(fake_viewer PROPERTIES WIN32_EXECUTABLE ON)
else()
  find_package(X11 REQUIRED)
  target_link_libraries(fake_viewer PRIVATE X11::X11)
endif()
target_link_libraries(fake_viewer PRIVATE OrvalisPlatform)

# The tests find the stand-in beside themselves.
orvalis_add_test(NAME integration_plugin_link_launch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_link_launch_test.cpp
  LIBS OrvalisCore
  DEPENDS_ON fake_viewer
  LABELS threads
  RESOURCE_LOCK viewer_window)
orvalis_add_test(NAME integration_plugin_link_window
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_link_window_test.cpp
  LIBS OrvalisCore
  DEPENDS_ON fake_viewer
  LABELS gui
  RESOURCE_LOCK viewer_window)
