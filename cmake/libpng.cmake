# Provides the target glimmerweave_png: the PNG library the renderer tool writes its
# frames with, and the zlib under it.
#
# Native builds use the system's libpng (Debian's libpng-dev). Debian ships no libpng for
# MinGW, so the Windows build compiles a static one from Debian's own source package
# (libpng1.6, with Debian's patches applied), against Debian's static MinGW zlib.
# scripts/test fetches and unpacks that source into build/deps/libpng; the cache
# variable GLIMMERWEAVE_LIBPNG_SOURCE_DIR points at it.

if(TARGET glimmerweave_png)
  return()
endif()

add_library(glimmerweave_png INTERFACE)

if(NOT CMAKE_CROSSCOMPILING)
  find_package(PNG REQUIRED)
  target_link_libraries(glimmerweave_png INTERFACE PNG::PNG)
  return()
endif()

set(GLIMMERWEAVE_LIBPNG_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/deps/libpng"
  CACHE PATH "Unpacked Debian libpng1.6 source to build the Windows libpng from")
if(NOT EXISTS "${GLIMMERWEAVE_LIBPNG_SOURCE_DIR}/png.h"
   OR NOT EXISTS "${GLIMMERWEAVE_LIBPNG_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR
    "No libpng source in GLIMMERWEAVE_LIBPNG_SOURCE_DIR='${GLIMMERWEAVE_LIBPNG_SOURCE_DIR}'.\n"
    "Run scripts/setup (or scripts/test) once to fetch Debian's libpng1.6 source, "
    "or configure with -DGLIMMERWEAVE_TOOLS=OFF.")
endif()

# Static zlib only: the programs must not need a zlib1.dll beside them.
find_library(GLIMMERWEAVE_MINGW_ZLIB NAMES libz.a
  DOC "Static MinGW zlib (Debian's libz-mingw-w64-dev)")
find_path(GLIMMERWEAVE_MINGW_ZLIB_INCLUDE_DIR zlib.h
  DOC "Headers of the static MinGW zlib")
if(NOT GLIMMERWEAVE_MINGW_ZLIB OR NOT GLIMMERWEAVE_MINGW_ZLIB_INCLUDE_DIR)
  message(FATAL_ERROR "No static MinGW zlib found: install libz-mingw-w64-dev.")
endif()

get_filename_component(_glimmerweave_toolchain "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE
  BASE_DIR "${CMAKE_BINARY_DIR}")
set(_glimmerweave_png_prefix "${CMAKE_BINARY_DIR}/deps/libpng")
set(_glimmerweave_png_install "${_glimmerweave_png_prefix}/install")
set(_glimmerweave_png_library "${_glimmerweave_png_install}/lib/libpng16.a")

include(ExternalProject)
ExternalProject_Add(glimmerweave_libpng_build
  SOURCE_DIR "${GLIMMERWEAVE_LIBPNG_SOURCE_DIR}"
  PREFIX "${_glimmerweave_png_prefix}"
  INSTALL_DIR "${_glimmerweave_png_install}"
  CMAKE_ARGS
    "-DCMAKE_TOOLCHAIN_FILE=${_glimmerweave_toolchain}"
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DPNG_SHARED=OFF
    -DPNG_STATIC=ON
    -DPNG_TESTS=OFF
    -DPNG_EXECUTABLES=OFF
    -DSKIP_INSTALL_EXECUTABLES=ON
    -DSKIP_INSTALL_PROGRAMS=ON
    -DSKIP_INSTALL_FILES=ON
    -DSKIP_INSTALL_EXPORT=ON
    "-DZLIB_LIBRARY=${GLIMMERWEAVE_MINGW_ZLIB}"
    "-DZLIB_INCLUDE_DIR=${GLIMMERWEAVE_MINGW_ZLIB_INCLUDE_DIR}"
  BUILD_BYPRODUCTS "${_glimmerweave_png_library}"
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON)

# The headers appear only when the library has been built; the folder must exist
# before that for the imported target to be valid.
file(MAKE_DIRECTORY "${_glimmerweave_png_install}/include")

add_library(glimmerweave_libpng_static STATIC IMPORTED GLOBAL)
set_target_properties(glimmerweave_libpng_static PROPERTIES
  IMPORTED_LOCATION "${_glimmerweave_png_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${_glimmerweave_png_install}/include"
  INTERFACE_LINK_LIBRARIES "${GLIMMERWEAVE_MINGW_ZLIB}")
add_dependencies(glimmerweave_libpng_static glimmerweave_libpng_build)
target_link_libraries(glimmerweave_png INTERFACE glimmerweave_libpng_static)
