# The module a commercial host loads exports the two OpenFX entry points and
# nothing else.
if(WIN32)
  find_program(ORVALIS_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump)
  set(_tool ${ORVALIS_OBJDUMP})
  set(_args -p)
  set(_style pe)
else()
  find_program(ORVALIS_NM NAMES nm)
  set(_tool ${ORVALIS_NM})
  set(_args -D --defined-only)
  set(_style elf)
endif()
if(_tool)
  add_test(NAME integration_module_exports
    COMMAND ${CMAKE_COMMAND} -DTOOL=${_tool} -DTOOL_ARGS=${_args} -DSTYLE=${_style}
            -DMODULE=$<TARGET_FILE:Orvalis> -P ${PROJECT_SOURCE_DIR}/cmake/check_exports.cmake)
endif()
