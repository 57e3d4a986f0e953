# The viewer's shell support without a window: the icon file reader, the
# redraw pacing, the intake thread's wakes and the mouse rules.
orvalis_add_test(NAME unit_viewer_icon
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_icon_test.cpp
  LIBS VantorelCore)
target_compile_definitions(unit_viewer_icon PRIVATE
  ORVALIS_SHIPPED_ICON="${PROJECT_SOURCE_DIR}/Viewer/Resources/mirabloc_logo_c.ico")
orvalis_add_test(NAME unit_viewer_shell_events
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_shell_events_test.cpp
  LIBS VantorelCore LABELS threads)
