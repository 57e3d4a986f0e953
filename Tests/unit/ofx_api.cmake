# The OpenFX C API layout and the plain logic of the OFX C++ layer.
orvalis_add_test(NAME unit_ofx_api
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ofx_api_test.cpp
  LIBS OfxApi)
