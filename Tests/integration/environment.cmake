# The host program, the plug-in and the viewer in broken environments (Linux:
# each case mounts what it needs in a private mount namespace, with its own
# /tmp and /dev/shm, so it holds no shared resource; Windows: what an
# environment block can break, with the host as a debugged child so that
# its debug output is read).
if(NOT WIN32)
  orvalis_add_test(NAME integration_plugin_environment
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_environment_test.cpp
    LIBS OfxHost OrvalisShared OrvalisPlatform
    DEPENDS_ON Orvalis Vantorel orvalis-host)
  target_compile_definitions(integration_plugin_environment PRIVATE
    ORVALIS_HOST_PROGRAM="$<TARGET_FILE:orvalis-host>"
    ORVALIS_VIEWER_PROGRAM="$<TARGET_FILE:Vantorel>"
    ORVALIS_BUNDLE_PATH="${CMAKE_BINARY_DIR}/Orvalis.ofx.bundle"
    ORVALIS_BUILD_ROOT="${CMAKE_BINARY_DIR}")
else()
  # The real block, so the shared_block lock.
  orvalis_add_test(NAME integration_plugin_environment
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_environment_win32_test.cpp
    LIBS OrvalisShared OrvalisPlatform
    RESOURCE_LOCK shared_block
    DEPENDS_ON Orvalis orvalis-host)
endif()
