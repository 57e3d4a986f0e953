# The point exchange across processes: one helper program publishes against
# a reader (torn-read check), and is the host and viewer that the processes
# test (plugin.cmake) starts, stops and kills around the real block.
set(_exchange_includes ${PROJECT_SOURCE_DIR}/Tests/unit ${PROJECT_SOURCE_DIR}/Tests/integration)

add_executable(exchange_host ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_host.cpp)
target_include_directories(exchange_host PRIVATE ${_exchange_includes} ${PROJECT_SOURCE_DIR}/Viewer)
target_link_libraries(exchange_host PRIVATE OfxHost VantorelCore OrvalisCore)
orvalis_warnings(exchange_host)

orvalis_add_test(NAME integration_exchange_torn_read
  SOURCES ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_torn_read_test.cpp
  LIBS VantorelCore
  LABELS threads
  DEPENDS_ON exchange_host)
target_include_directories(integration_exchange_torn_read PRIVATE ${_exchange_includes})
target_compile_definitions(integration_exchange_torn_read PRIVATE
  EXCHANGE_HOST="$<TARGET_FILE_NAME:exchange_host>")
