# The viewer launcher without a viewer: the search list, the snapshot and
# the messages of a launch that cannot start anything.
orvalis_add_test(NAME unit_launcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher_test.cpp
  LIBS OrvalisCore
  RESOURCE_LOCK viewer_window)
