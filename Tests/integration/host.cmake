# The OpenFX host, checked with a small effect written on our OFX layer (so
# that one plug-in checks the host and the layer) and a library without entry points.
set(HOST_FIXTURE_DIR ${CMAKE_BINARY_DIR}/host_fixtures)

add_library(host_probe_plugin MODULE ${CMAKE_CURRENT_LIST_DIR}/fixtures/host_probe_plugin.cpp)
target_link_libraries(host_probe_plugin PRIVATE OfxSupport)
set_target_properties(host_probe_plugin PROPERTIES PREFIX "" SUFFIX ".ofx" OUTPUT_NAME HostProbe
  LIBRARY_OUTPUT_DIRECTORY ${HOST_FIXTURE_DIR}/HostProbe.ofx.bundle/Contents/${ORVALIS_BUNDLE_ARCH}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(NOT WIN32)
  target_link_options(host_probe_plugin PRIVATE
    "LINKER:--version-script=${PROJECT_SOURCE_DIR}/Plugin/effect/orvalis_exports.map")
endif()
orvalis_warnings(host_probe_plugin)

add_library(host_empty_plugin MODULE ${CMAKE_CURRENT_LIST_DIR}/fixtures/host_empty_plugin.cpp)
target_link_libraries(host_empty_plugin PRIVATE OfxApi)
set_target_properties(host_empty_plugin PROPERTIES PREFIX "" SUFFIX ".ofx" OUTPUT_NAME Empty
  LIBRARY_OUTPUT_DIRECTORY ${HOST_FIXTURE_DIR}/Empty.ofx.bundle/Contents/${ORVALIS_BUNDLE_ARCH})
orvalis_warnings(host_empty_plugin)

orvalis_add_test(NAME integration_host_probe
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_probe_test.cpp
  LIBS OfxHost
  LABELS threads
  DEPENDS_ON host_probe_plugin host_empty_plugin)
target_compile_definitions(integration_host_probe PRIVATE
  HOST_PROBE_BUNDLE="${HOST_FIXTURE_DIR}/HostProbe.ofx.bundle"
  HOST_EMPTY_BUNDLE="${HOST_FIXTURE_DIR}/Empty.ofx.bundle")

orvalis_add_test(NAME integration_host_tool
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_tool_test.cpp
  LIBS OfxHostTool
  DEPENDS_ON host_probe_plugin host_empty_plugin)
target_compile_definitions(integration_host_tool PRIVATE
  HOST_PROBE_BUNDLE="${HOST_FIXTURE_DIR}/HostProbe.ofx.bundle"
  HOST_EMPTY_BUNDLE="${HOST_FIXTURE_DIR}/Empty.ofx.bundle"
  ORVALIS_HOST_OIIO=$<BOOL:${ORVALIS_HOST_OIIO}>)

# The program itself, as a user runs it.
add_test(NAME integration_host_cli_describe
  COMMAND orvalis-host describe ${HOST_FIXTURE_DIR}/HostProbe.ofx.bundle)
set_tests_properties(integration_host_cli_describe PROPERTIES
  PASS_REGULAR_EXPRESSION "options: 0 \"Copy\", 1 \"Invert\", 2 \"50%\".*hint: \"How many \"\n")
add_test(NAME integration_host_cli_missing_bundle
  COMMAND orvalis-host describe ${HOST_FIXTURE_DIR}/Missing.ofx.bundle)
set_tests_properties(integration_host_cli_missing_bundle PROPERTIES WILL_FAIL TRUE)
