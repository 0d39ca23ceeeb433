# kiv_add_plugin_module(name SOURCES ... DEPENDS ...): a plugin library as a host loads it. One
# shared module without a "lib" prefix whose only export is the load entry (a version script, a
# .def file on Windows). It carries its own operator new and delete, which count every block, and
# its own copy of the C++ runtime, so that the runtime's allocations on the module's behalf are
# counted too and nothing of the module is ever interposed on the host.
function(kiv_add_plugin_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES} $<TARGET_OBJECTS:kiv_module_allocator>)
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
  target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/plugin_exports.def)
  else()
    target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/plugin_exports.map)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/plugin_exports.map)
  endif()
endfunction()
