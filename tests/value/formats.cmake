# Tests of the MessagePack, JSON and YAML readers and of the tree builder they feed. msgpack-cxx (header-only) is a test-only
# dependency: it packs the values that the differential tests decode.
find_path(KIV_MSGPACK_CXX_INCLUDE_DIR msgpack.hpp REQUIRED)

kiv_add_test(value_formats_tests
  SOURCES
    json_reader_differential_test.cpp
    json_number_bits_test.cpp
    json_reader_test.cpp
    msgpack_reader_differential_test.cpp
    msgpack_reader_test.cpp
    value_tree_builder_test.cpp
    yaml_reader_test.cpp
  DEPENDS kiv_value_formats
)
target_include_directories(value_formats_tests SYSTEM PRIVATE ${KIV_MSGPACK_CXX_INCLUDE_DIR} ${KIV_RAPIDJSON_INCLUDE_DIR})
target_compile_definitions(value_formats_tests PRIVATE MSGPACK_NO_BOOST)
# At -Og, g++ 12 cannot see that msgpack-cxx's zone frees with free() what it got from malloc()
# through placement new, and warns from inside the library's header.
set_source_files_properties(msgpack_reader_differential_test.cpp PROPERTIES COMPILE_OPTIONS -Wno-mismatched-new-delete)
