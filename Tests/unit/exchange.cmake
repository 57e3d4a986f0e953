# The point exchange: writer (plug-in side) and reader (viewer side). The
# sources are compiled in directly, so that these tests do not wait on the
# rest of OrvalisCore and VantorelCore.
orvalis_add_test(NAME unit_exchange
  SOURCES
    ${PROJECT_SOURCE_DIR}/Tests/unit/exchange_writer_test.cpp
    ${PROJECT_SOURCE_DIR}/Tests/unit/exchange_reader_test.cpp
    ${PROJECT_SOURCE_DIR}/Plugin/link/exchange_writer.cpp
    ${PROJECT_SOURCE_DIR}/Viewer/app/exchange_reader.cpp
  LIBS OrvalisShared OrvalisPlatform)
target_include_directories(unit_exchange PRIVATE
  ${PROJECT_SOURCE_DIR}/Plugin ${PROJECT_SOURCE_DIR}/Viewer ${PROJECT_SOURCE_DIR}/Tests/unit)
