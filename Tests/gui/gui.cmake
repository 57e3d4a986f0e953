# The real viewer as a process under Xvfb, read back from the X server and
# driven with the X test extension. One native driver serves both builds:
# the linux preset runs it on the Linux viewer; the windows preset runs the
# same native driver (from build/linux) on Vantorel.exe under Wine, with the
# Windows publisher helper, since a Wine viewer's block lives in the
# wineserver. Run under xvfb-run (run-tests.sh does).
set(_gui ${CMAKE_CURRENT_LIST_DIR})

# The stand-in plug-in process: the real block through the real writer.
add_executable(gui_publisher ${_gui}/gui_publisher.cpp)
target_link_libraries(gui_publisher PRIVATE OrvalisCore $<$<BOOL:${WIN32}>:user32>)
target_include_directories(gui_publisher PRIVATE ${PROJECT_SOURCE_DIR})
orvalis_warnings(gui_publisher)

set(_gui_lock "shared_block;viewer_window")

if(NOT WIN32)
  find_package(X11 REQUIRED)
  if(NOT X11_XTest_FOUND)
    message(FATAL_ERROR "The GUI tests need the X test extension (libxtst-dev)")
  endif()
  add_library(gui_driver STATIC ${_gui}/x_display.cpp)
  target_link_libraries(gui_driver PUBLIC X11::X11 X11::Xtst)
  target_include_directories(gui_driver PRIVATE ${PROJECT_SOURCE_DIR})
  orvalis_warnings(gui_driver)

  set(_gui_viewer ${ORVALIS_BUNDLE_DIR}/Vantorel)
  set(_gui_defaults GUI_DEFAULT_VIEWER="${_gui_viewer}" GUI_DEFAULT_PUBLISHER="$<TARGET_FILE:gui_publisher>")
  set(_gui_depends gui_publisher)
  if(TARGET Vantorel)
    list(APPEND _gui_depends Vantorel)
  endif()

  orvalis_add_test(NAME gui_viewer
    SOURCES ${_gui}/viewer_intake_test.cpp ${_gui}/viewer_menu_test.cpp
    LIBS gui_driver OrvalisShared
    DEPENDS_ON ${_gui_depends}
    LABELS gui
    RESOURCE_LOCK ${_gui_lock}
    TIMEOUT 600)
  target_compile_definitions(gui_viewer PRIVATE ${_gui_defaults})

  file(RELATIVE_PATH _gui_bundle_rel ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/Orvalis.ofx.bundle)
  orvalis_add_test(NAME gui_end_to_end
    SOURCES ${_gui}/viewer_end_to_end_test.cpp
    LIBS gui_driver OfxHost OrvalisShared OrvalisPlatform
    DEPENDS_ON Orvalis ${_gui_depends}
    LABELS gui
    RESOURCE_LOCK ${_gui_lock})
  target_include_directories(gui_end_to_end PRIVATE ${PROJECT_SOURCE_DIR}/Tests/integration)
  target_compile_definitions(gui_end_to_end PRIVATE ${_gui_defaults}
    ORVALIS_BUNDLE_RELATIVE="${_gui_bundle_rel}")

  # Alone on the machine: the viewer draws in software, and window stacking
  # and focus must not be shared with other windows' tests. In the
  # sanitizer build the viewer's leak check is off: GLFW unloads the GL and
  # X libraries it opened, and what they keep can no longer be named. The
  # viewer's own code is leak-checked by its unit tests.
  set_tests_properties(gui_viewer gui_end_to_end PROPERTIES
    RUN_SERIAL TRUE
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
else()
  # CTest runs a command that is not a target as it stands, without Wine.
  # The driver is looked for when the test runs, so a linux build made after
  # this configure counts.
  set(_gui_driver ${PROJECT_SOURCE_DIR}/build/linux/bin/gui_viewer)
  add_test(NAME gui_viewer_wine COMMAND sh -c
    "if [ -x '${_gui_driver}' ]; then exec '${_gui_driver}'; fi; echo 'build the linux preset first (${_gui_driver} is missing)' >&2; exit 1")
  set(_gui_wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  if(NOT _gui_wine)
    set(_gui_wine wine)
  endif()
  find_program(_gui_wine_path NAMES ${_gui_wine})
  set_tests_properties(gui_viewer_wine PROPERTIES
    TIMEOUT 900
    RUN_SERIAL TRUE
    LABELS gui
    RESOURCE_LOCK "${_gui_lock}"
    ENVIRONMENT "ORVALIS_GUI_WINE=${_gui_wine_path};ORVALIS_GUI_VIEWER=${ORVALIS_BUNDLE_DIR}/Vantorel.exe;ORVALIS_GUI_PUBLISHER=$<TARGET_FILE:gui_publisher>")
endif()
