# kiv_add_library(name SOURCES ... DEPENDS ...): one static library per subsystem folder,
# compiled position-independent with hidden visibility so it can go into the plugin module.
function(kiv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# kiv_add_test(name SOURCES ... DEPENDS ...): one GoogleTest executable registered with ctest.
function(kiv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} kiv_test_support GTest::gtest GTest::gtest_main)
  target_precompile_headers(${name} REUSE_FROM kiv_gtest_pch)
  # A target whose own definitions reach the header (the serve tests' _WIN32_WINNT on Windows)
  # cannot use the shared one and parses the header instead, which is no error.
  set_target_properties(${name} PROPERTIES PCH_WARN_INVALID OFF UNITY_BUILD ON)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
