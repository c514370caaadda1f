# The plug-in module: VORN64.dll / VORN.dll / VORN64.so. It exports exactly
# VSTPluginMain and main (the same function).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VORN_MODULE_NAME VORN64)
else()
  set(VORN_MODULE_NAME VORN)
endif()

add_library(vorn_module SHARED "${PROJECT_SOURCE_DIR}/core/VstPluginMain.cpp")
target_link_libraries(vorn_module PRIVATE vorn_editor vorn_resources)
set_target_properties(vorn_module PROPERTIES
  OUTPUT_NAME ${VORN_MODULE_NAME}
  PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/module"
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/module")

if(WIN32)
  target_sources(vorn_module PRIVATE "${PROJECT_SOURCE_DIR}/cmake/vst2.def")
  target_link_options(vorn_module PRIVATE -Wl,--no-undefined)
else()
  set_target_properties(vorn_module PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(vorn_module PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/vst2.version -Wl,--no-undefined -Wl,-z,defs)
endif()
