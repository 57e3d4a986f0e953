# The OFX C++ layer's plain logic. The C API's layout is checked by
# static_asserts in its headers; the layer as a whole runs through the real
# host with the probe effect (Tests/integration/host.cmake).
orvalis_add_test(NAME unit_ofx_core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ofx_core_test.cpp
  LIBS OfxSupport)
