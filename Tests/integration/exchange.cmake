# The point exchange across processes: a publisher program against a reader
# (torn-read check) and a plain C program that reads the block from its
# layout alone. Test blocks have unique names, so no lock on the real block.
set(_exchange_includes ${PROJECT_SOURCE_DIR}/Tests/unit ${PROJECT_SOURCE_DIR}/Tests/integration)

add_executable(exchange_publisher ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_publisher.cpp)
target_include_directories(exchange_publisher PRIVATE ${_exchange_includes})
target_link_libraries(exchange_publisher PRIVATE OrvalisCore)
orvalis_warnings(exchange_publisher)

add_executable(exchange_peek ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_peek.c)
if(NOT WIN32)
  target_link_libraries(exchange_peek PRIVATE rt)
endif()
orvalis_warnings(exchange_peek)

orvalis_add_test(NAME integration_exchange_torn_read
  SOURCES ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_torn_read_test.cpp
  LIBS VantorelCore
  LABELS threads
  DEPENDS_ON exchange_publisher)
target_include_directories(integration_exchange_torn_read PRIVATE ${_exchange_includes})
target_compile_definitions(integration_exchange_torn_read PRIVATE
  EXCHANGE_PUBLISHER="$<TARGET_FILE_NAME:exchange_publisher>")

orvalis_add_test(NAME integration_exchange_peek
  SOURCES ${PROJECT_SOURCE_DIR}/Tests/integration/exchange_peek_test.cpp
  LIBS OrvalisCore
  DEPENDS_ON exchange_peek)
target_include_directories(integration_exchange_peek PRIVATE ${_exchange_includes})
target_compile_definitions(integration_exchange_peek PRIVATE
  EXCHANGE_PEEK="$<TARGET_FILE_NAME:exchange_peek>")
