# Sampling, the cube map and the pass-through copy: plain functions of
# OrvalisCore, tested without a host.
foreach(part sampling cube_map copy)
  orvalis_add_test(NAME unit_pixels_${part}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/pixels_${part}_test.cpp
    LIBS OrvalisCore)
endforeach()
