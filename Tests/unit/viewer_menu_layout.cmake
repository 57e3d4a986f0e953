# The View menu the GLFW shell draws itself, without a window: its geometry,
# where the popup opens, and what clicks, moves and keys do.
orvalis_add_test(NAME unit_viewer_menu_layout
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_menu_layout_test.cpp
  LIBS VantorelCore)
