# The plug-in's plain code, one test program per folder part, without a host.
foreach(part effect_registry effect_feed link_worker diagnostics_log diagnostics_text)
  orvalis_add_test(NAME unit_plugin_${part}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_${part}_test.cpp
    LIBS OrvalisCore
    LABELS threads)
endforeach()
foreach(part sampling cube_map copy)
  orvalis_add_test(NAME unit_plugin_pixels_${part}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_pixels_${part}_test.cpp
    LIBS OrvalisCore)
endforeach()
# The launcher without a viewer: the search list, the snapshot and the
# messages of a launch that cannot start anything.
orvalis_add_test(NAME unit_plugin_link_launcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_link_launcher_test.cpp
  LIBS OrvalisCore
  RESOURCE_LOCK viewer_window)
# The feed publishes through the real shared block.
set_tests_properties(unit_plugin_effect_feed PROPERTIES RESOURCE_LOCK shared_block)
set(_feed_scratch ${CMAKE_BINARY_DIR}/scratch/unit_plugin_effect_feed)
file(MAKE_DIRECTORY ${_feed_scratch}/tmp)
file(CHMOD ${_feed_scratch}/tmp PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
if(WIN32)
  set_tests_properties(unit_plugin_effect_feed PROPERTIES ENVIRONMENT "TEMP=Z:${_feed_scratch}/tmp;TMP=Z:${_feed_scratch}/tmp")
else()
  set_tests_properties(unit_plugin_effect_feed PROPERTIES
    ENVIRONMENT "TMPDIR=${_feed_scratch}/tmp;XDG_RUNTIME_DIR=${_feed_scratch}/tmp")
endif()
