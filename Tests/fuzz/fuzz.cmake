# libFuzzer targets: one program per reader of input that another process, a
# file or a user controls, each with a seed corpus in corpus/<name>, made by
# our own writers where they write the format (make_fuzz_seeds). Built by
# the fuzz preset with clang, ASan and UBSan; run.sh runs them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz targets need clang (use the fuzz preset)")
endif()

add_custom_target(fuzz)

# orvalis_add_fuzzer(NAME fuzz_x SOURCE x.cpp LIBS lib ...)
function(orvalis_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;SOURCE" "LIBS" ${ARGN})
  add_executable(${F_NAME} ${CMAKE_CURRENT_LIST_DIR}/${F_SOURCE})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  orvalis_warnings(${F_NAME})
  add_dependencies(fuzz ${F_NAME})
endfunction()

orvalis_add_fuzzer(NAME fuzz_exchange_block SOURCE exchange_block.cpp LIBS VantorelCore)
orvalis_add_fuzzer(NAME fuzz_points_file SOURCE points_file.cpp LIBS VantorelCore)
orvalis_add_fuzzer(NAME fuzz_settings_file SOURCE settings_file.cpp LIBS VantorelCore)
orvalis_add_fuzzer(NAME fuzz_icon_file SOURCE icon_file.cpp LIBS VantorelCore)
orvalis_add_fuzzer(NAME fuzz_gl_strings SOURCE gl_strings.cpp LIBS VantorelRender)
orvalis_add_fuzzer(NAME fuzz_system_text SOURCE system_text.cpp LIBS OrvalisPlatform)
orvalis_add_fuzzer(NAME fuzz_image_file SOURCE image_file.cpp LIBS OfxHostTool)
orvalis_add_fuzzer(NAME fuzz_param_value SOURCE param_value.cpp LIBS OfxHostTool)

# The seed generator: valid inputs written by the code that writes them.
add_executable(make_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp)
target_link_libraries(make_fuzz_seeds PRIVATE OrvalisCore VantorelCore OfxHostTool)
target_include_directories(make_fuzz_seeds PRIVATE ${PROJECT_SOURCE_DIR})
orvalis_warnings(make_fuzz_seeds)
add_dependencies(fuzz make_fuzz_seeds)
