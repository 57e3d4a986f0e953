# The icon file reader, without a window.
orvalis_add_test(NAME unit_viewer_icon
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_icon_test.cpp
  LIBS VantorelCore)
target_compile_definitions(unit_viewer_icon PRIVATE
  ORVALIS_SHIPPED_ICON="${PROJECT_SOURCE_DIR}/Viewer/Resources/mirabloc_logo_c.ico")
