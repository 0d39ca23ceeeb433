# 32-bit Windows with Debian's mingw-w64 cross compiler (g++-mingw-w64-i686). The posix thread
# model is chosen for its std::thread and std::mutex, which the win32 model of this compiler
# lacks; -static puts libgcc, libstdc++ and winpthreads into every binary, so the library and
# the executables need nothing beside the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# Doubles on SSE2, as in the Linux reference build, so numbers come out bit for bit the same.
# The C runtime's own printf family stands behind %lld and friends on older msvcrt.dll.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Headers and libraries come from the compiler's sysroot and from the dependencies prepared by
# scripts/bootstrap-windows (the cross-built libyaml, links to the header-only RapidJSON and
# CLI11), never from the build machine's own folders.
set(KIV_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../../build/win32-deps" CACHE PATH
    "Prefix of the dependencies cross-built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 "${KIV_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools built here run under wine (scripts/wine-run keeps its prefix in the build tree).
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run")
