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
