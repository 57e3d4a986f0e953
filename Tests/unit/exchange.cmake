# The point exchange: writer (plug-in side) and reader (viewer side).
orvalis_add_test(NAME unit_exchange
  SOURCES
    ${PROJECT_SOURCE_DIR}/Tests/unit/exchange_writer_test.cpp
    ${PROJECT_SOURCE_DIR}/Tests/unit/exchange_reader_test.cpp
  LIBS OrvalisCore VantorelCore)
target_include_directories(unit_exchange PRIVATE ${PROJECT_SOURCE_DIR}/Tests/unit)
