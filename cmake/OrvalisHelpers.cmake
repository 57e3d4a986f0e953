# Warnings for every target of ours, errors in CI.
function(orvalis_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ORVALIS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# GoogleTest is always built from Debian's source package, so that the
# cross build and the sanitizer builds get a matching library.
macro(orvalis_add_gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
endmacro()

# orvalis_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [RESOURCE_LOCK x] [ENV K=V ...])
# One test executable, registered as one CTest test; under the cross build
# CTest runs it through the emulator (Wine).
function(orvalis_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ENV;DEPENDS_ON" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  # Tests share small helpers under Tests/support.
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  orvalis_warnings(${T_NAME})
  if(T_DEPENDS_ON)
    add_dependencies(${T_NAME} ${T_DEPENDS_ON})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_ENV)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()
