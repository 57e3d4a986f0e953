# The renderer's plain parts, without a GL context: capability parsing and
# the render path, the loader's name fallbacks, the shader generations, the
# matrix, the sphere mesh, the draw path and the upload rule.
orvalis_add_test(NAME unit_viewer_render
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/viewer_render_gl_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_render_scene_test.cpp
  LIBS VantorelRender)
