# The effect's plain logic: the active-instance registry, the job queue and
# processing worker, the result history and the viewer-link watcher.
orvalis_add_test(NAME unit_effect_registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/effect_registry_test.cpp
  LIBS OrvalisCore
  LABELS threads)
orvalis_add_test(NAME unit_effect_sync_worker
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/effect_sync_worker_test.cpp
  LIBS OrvalisCore
  LABELS threads)
