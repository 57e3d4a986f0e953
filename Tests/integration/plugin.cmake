# The built Orvalis bundle driven through the OpenFX host: its description,
# instances and parameters, renders, the clouds it publishes, host and viewer
# processes on one shared block, and a threaded stress run. Each test gets
# its own temporary and state folders, so the files it writes stay there.
file(RELATIVE_PATH _plugin_bundle_rel ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/Orvalis.ofx.bundle)
set(_plugin_includes ${PROJECT_SOURCE_DIR}/Tests/integration ${PROJECT_SOURCE_DIR}/Viewer)

function(orvalis_plugin_test name)
  cmake_parse_arguments(P "" "" "SOURCES;LABELS;DEPENDS_ON" ${ARGN})
  set(scratch ${CMAKE_BINARY_DIR}/scratch/${name})
  file(MAKE_DIRECTORY ${scratch}/tmp ${scratch}/state ${scratch}/config)
  file(CHMOD ${scratch}/tmp PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  if(WIN32)
    set(env "TEMP=Z:${scratch}/tmp" "TMP=Z:${scratch}/tmp" "APPDATA=Z:${scratch}/state")
  else()
    # No display: a viewer started by a test cannot open a window and stays
    # behind no test.
    set(env "TMPDIR=${scratch}/tmp" "XDG_RUNTIME_DIR=${scratch}/tmp" "XDG_STATE_HOME=${scratch}/state"
            "XDG_CONFIG_HOME=${scratch}/config" "DISPLAY=")
  endif()
  orvalis_add_test(NAME ${name}
    SOURCES ${P_SOURCES}
    LIBS OfxHost VantorelCore OrvalisShared OrvalisPlatform
    LABELS ${P_LABELS}
    RESOURCE_LOCK shared_block
    ENV ${env}
    DEPENDS_ON Orvalis ${P_DEPENDS_ON})
  target_include_directories(${name} PRIVATE ${_plugin_includes})
  target_compile_definitions(${name} PRIVATE ORVALIS_BUNDLE_RELATIVE="${_plugin_bundle_rel}")
endfunction()

set(_plugin_dir ${PROJECT_SOURCE_DIR}/Tests/integration)

orvalis_plugin_test(integration_plugin_describe SOURCES ${_plugin_dir}/plugin_describe_test.cpp)
orvalis_plugin_test(integration_plugin_instance SOURCES ${_plugin_dir}/plugin_instance_test.cpp)
orvalis_plugin_test(integration_plugin_render SOURCES ${_plugin_dir}/plugin_render_test.cpp
  LABELS threads)
orvalis_plugin_test(integration_plugin_cloud SOURCES ${_plugin_dir}/plugin_cloud_test.cpp
  LABELS threads)
orvalis_plugin_test(integration_plugin_stress SOURCES ${_plugin_dir}/plugin_stress_test.cpp
  LABELS threads)
orvalis_plugin_test(integration_exchange_processes SOURCES ${_plugin_dir}/exchange_processes_test.cpp
  LABELS threads DEPENDS_ON exchange_host)
target_compile_definitions(integration_exchange_processes PRIVATE EXCHANGE_HOST="$<TARGET_FILE_NAME:exchange_host>")
