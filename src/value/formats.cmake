# The MessagePack, JSON and YAML readers. RapidJSON is header-only; libyaml is found for the
# target architecture (the x86 toolchain points the search at the i386 multiarch folders).
find_path(KIV_YAML_INCLUDE_DIR yaml.h REQUIRED)
find_library(KIV_YAML_LIBRARY NAMES yaml REQUIRED)
find_path(KIV_RAPIDJSON_INCLUDE_DIR rapidjson/reader.h REQUIRED)

kiv_add_library(kiv_value_formats
  SOURCES
    json_reader.cpp
    msgpack_reader.cpp
    yaml_node_paths.cpp
    yaml_reader.cpp
    yaml_scalar.cpp
    yaml_tree_builder.cpp
  DEPENDS kiv_value ${KIV_YAML_LIBRARY}
)
target_include_directories(kiv_value_formats SYSTEM PRIVATE ${KIV_YAML_INCLUDE_DIR} ${KIV_RAPIDJSON_INCLUDE_DIR})
# The Windows build links libyaml statically (scripts/cross-build-libyaml), so its declarations
# must not ask for DLL imports.
if(WIN32)
  target_compile_definitions(kiv_value_formats PUBLIC YAML_DECLARE_STATIC)
endif()
