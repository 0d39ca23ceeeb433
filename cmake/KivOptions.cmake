# Warnings and sanitizers shared by every target of the project.
set(KIV_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address;undefined or thread")

option(KIV_WERROR "Treat compiler warnings as errors" ON)
add_compile_options(-Wall -Wextra)
if(KIV_WERROR)
  add_compile_options(-Werror)
endif()

if(KIV_SANITIZE)
  list(JOIN KIV_SANITIZE "," _kiv_sanitizers)
  add_compile_options(-fsanitize=${_kiv_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_kiv_sanitizers})
endif()

# Options for test code (the tests, their fakes and GoogleTest): see tests/CMakeLists.txt.
set(KIV_TEST_CODE_OPTIONS "$<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:-Og>" -g1)
# Options for the development host: see tools/kivhost/CMakeLists.txt.
set(KIV_DEV_HOST_OPTIONS "$<$<CONFIG:RelWithDebInfo>:-Og>" -g1)

# The tests, the development host and the boundary replays are compiled as unity builds: sixteen
# sources to a compiler run, so that the headers they share (GoogleTest's, Beast's, the library's
# own) are read and instantiated once per batch instead of once per source. The library itself is
# compiled source by source, so that each of its headers is shown to stand alone.
set(CMAKE_UNITY_BUILD_BATCH_SIZE 16)
