# The viewer's logic without a window: the camera and the shell's pacing and
# wakes, and the intake loop on a driven clock and on its own thread (blocks
# under names of the tests' own).
orvalis_add_test(NAME unit_viewer_camera
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_camera_test.cpp
  LIBS VantorelCore LABELS threads)

orvalis_add_test(NAME unit_viewer_intake
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_intake_test.cpp
  LIBS VantorelCore OrvalisCore
  LABELS threads)
target_include_directories(unit_viewer_intake PRIVATE ${CMAKE_CURRENT_LIST_DIR})
