# The OpenFX C API layout and the OFX C++ layer.
orvalis_add_test(NAME unit_ofx_api
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ofx_api_test.cpp
  LIBS OfxApi)
orvalis_add_test(NAME unit_ofx_core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ofx_core_test.cpp
  LIBS OfxSupport)
# An in-process host drives the layer through its exported entry points.
orvalis_add_test(NAME unit_ofx_layer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ofx_layer_test.cpp
  LIBS OfxSupport Threads::Threads
  LABELS threads)
