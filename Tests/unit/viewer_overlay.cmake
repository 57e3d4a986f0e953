# The gamut badge without a GL context: scale, geometry, label sizes and
# rebuild rule, the coverage rule, and the platform's label text (FreeType
# on Linux, GDI in the Windows build).
if(WIN32)
  set(_overlay_platform_sources ${PROJECT_SOURCE_DIR}/Viewer/shell/win32_label_text.cpp)
  set(_overlay_platform_libs gdi32)
else()
  set(_overlay_platform_sources)
  set(_overlay_platform_libs)
endif()
orvalis_add_test(NAME unit_viewer_overlay
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_overlay_test.cpp ${_overlay_platform_sources}
  LIBS VantorelRender ${_overlay_platform_libs})
target_include_directories(unit_viewer_overlay PRIVATE ${PROJECT_SOURCE_DIR}/Viewer)
