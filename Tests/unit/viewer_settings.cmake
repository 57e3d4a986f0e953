# The display settings and the View menu's model: the on/off rule over a
# store the test owns, and the system's own store (the registry under Wine,
# the settings file on Linux) at a location of the test's own.
orvalis_add_test(NAME unit_viewer_settings
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_settings_test.cpp
  LIBS VantorelCore)

# The Windows menu's painting, on memory device contexts: the owner-drawn
# popup items and the dark menu-bar messages (blocks built at the system's
# offsets), without a window.
if(WIN32)
  orvalis_add_test(NAME unit_viewer_win32_menu
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_win32_menu_test.cpp
            ${PROJECT_SOURCE_DIR}/Viewer/shell/win32_menu.cpp
            ${PROJECT_SOURCE_DIR}/Viewer/shell/win32_dark_mode.cpp
    LIBS VantorelCore user32 gdi32 dwmapi uxtheme)
  target_include_directories(unit_viewer_win32_menu PRIVATE ${PROJECT_SOURCE_DIR}/Viewer/shell)
endif()
