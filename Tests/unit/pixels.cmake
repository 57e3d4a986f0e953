# Sampling, the cube map and the pass-through copy: plain functions, built
# here from their sources so that they are tested apart from the rest of the
# plug-in.
set(ORVALIS_PIXELS_SOURCES
  ${CMAKE_SOURCE_DIR}/Plugin/effect/sampling.cpp
  ${CMAKE_SOURCE_DIR}/Plugin/effect/cube_map.cpp
  ${CMAKE_SOURCE_DIR}/Plugin/effect/pixel_copy.cpp)

foreach(part sampling cube_map copy)
  orvalis_add_test(NAME unit_pixels_${part}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/pixels_${part}_test.cpp ${ORVALIS_PIXELS_SOURCES}
    LIBS OrvalisShared)
  target_include_directories(unit_pixels_${part} PRIVATE ${CMAKE_SOURCE_DIR}/Plugin)
endforeach()
