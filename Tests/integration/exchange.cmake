# The point exchange across processes: a publisher program against a reader
# (torn-read check), and host and viewer processes of the built bundle that
# start, stop and are killed around the real block.
set(_exchange_includes ${PROJECT_SOURCE_DIR}/Tests/unit ${PROJECT_SOURCE_DIR}/Tests/integration)

add_executable(exchange_publisher ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_publisher.cpp)
target_include_directories(exchange_publisher PRIVATE ${_exchange_includes})
target_link_libraries(exchange_publisher PRIVATE OrvalisCore)
orvalis_warnings(exchange_publisher)

orvalis_add_test(NAME integration_exchange_torn_read
  SOURCES ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_torn_read_test.cpp
  LIBS VantorelCore
  LABELS threads
  DEPENDS_ON exchange_publisher)
target_include_directories(integration_exchange_torn_read PRIVATE ${_exchange_includes})
target_compile_definitions(integration_exchange_torn_read PRIVATE
  EXCHANGE_PUBLISHER="$<TARGET_FILE_NAME:exchange_publisher>")

add_executable(exchange_host ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_host.cpp)
target_include_directories(exchange_host PRIVATE ${_exchange_includes} ${PROJECT_SOURCE_DIR}/Viewer)
target_link_libraries(exchange_host PRIVATE OfxHost VantorelCore)
orvalis_warnings(exchange_host)

# Its own temporary and state folders, as the plug-in tests have; the real
# block, so the shared_block lock.
set(_exchange_scratch ${CMAKE_BINARY_DIR}/scratch/integration_exchange_processes)
file(MAKE_DIRECTORY ${_exchange_scratch}/tmp ${_exchange_scratch}/state ${_exchange_scratch}/config)
file(CHMOD ${_exchange_scratch}/tmp PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
if(WIN32)
  set(_exchange_env "TEMP=Z:${_exchange_scratch}/tmp" "TMP=Z:${_exchange_scratch}/tmp"
                    "APPDATA=Z:${_exchange_scratch}/state")
else()
  set(_exchange_env "TMPDIR=${_exchange_scratch}/tmp" "XDG_RUNTIME_DIR=${_exchange_scratch}/tmp"
                    "XDG_STATE_HOME=${_exchange_scratch}/state" "XDG_CONFIG_HOME=${_exchange_scratch}/config"
                    "DISPLAY=")
endif()
file(RELATIVE_PATH _exchange_bundle_rel ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/Orvalis.ofx.bundle)
orvalis_add_test(NAME integration_exchange_processes
  SOURCES ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_processes_test.cpp
  LIBS OfxHost VantorelCore OrvalisShared OrvalisPlatform
  LABELS threads
  RESOURCE_LOCK shared_block
  ENV ${_exchange_env}
  DEPENDS_ON Orvalis exchange_host)
target_include_directories(integration_exchange_processes PRIVATE ${_exchange_includes} ${PROJECT_SOURCE_DIR}/Viewer)
target_compile_definitions(integration_exchange_processes PRIVATE
  ORVALIS_BUNDLE_RELATIVE="${_exchange_bundle_rel}"
  EXCHANGE_HOST="$<TARGET_FILE_NAME:exchange_host>")
