# GoogleTest is built from Debian's source package so that it matches every preset's
# architecture and sanitizer flags (the prebuilt libraries exist only for the host).
set(KIV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KIV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
target_compile_options(gtest PRIVATE ${KIV_TEST_CODE_OPTIONS})
target_compile_options(gtest_main PRIVATE ${KIV_TEST_CODE_OPTIONS})
include(GoogleTest)
