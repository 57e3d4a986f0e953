# The diagnostics log and its texts.
orvalis_add_test(NAME unit_diagnostics_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/diagnostics_text_test.cpp
  LIBS OrvalisCore
  LABELS threads
  RESOURCE_LOCK viewer_window)
orvalis_add_test(NAME unit_diagnostics_log
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/diagnostics_log_test.cpp
  LIBS OrvalisCore
  LABELS threads)
