# Toolchain for the Windows x86-64 build: Debian's MinGW-w64 cross compilers with the
# POSIX thread model (GoogleTest needs std::thread), and Wine to run what they build.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLIMMERWEAVE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLIMMERWEAVE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMMERWEAVE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMMERWEAVE_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMMERWEAVE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and custom commands run the .exe files through Wine. The wrapper uses
# WINEPREFIX from the environment when set, otherwise a prefix of its own inside this
# build tree, made on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR
  "${CMAKE_CURRENT_LIST_DIR}/wine-exec.sh;--default-prefix=${CMAKE_BINARY_DIR}/wine-prefix")
