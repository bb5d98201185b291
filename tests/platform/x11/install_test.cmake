# Installs the build into a scratch prefix and checks that glimmerweave lands where
# xscreensaver looks for it: the program in libexec/xscreensaver/, its settings dialog in
# share/xscreensaver/config/ and its manual page in share/man/man6/. Run by CTest as the
# test x11_install with BUILD_DIR and WORK_DIR set.

cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

foreach(file IN ITEMS
    libexec/xscreensaver/glimmerweave
    share/xscreensaver/config/glimmerweave.xml
    share/man/man6/glimmerweave.6)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "the install has no ${file}; it installed:\n${output}")
  endif()
endforeach()

# The installed program runs (and says which it is).
execute_process(COMMAND "${prefix}/libexec/xscreensaver/glimmerweave" -version
  RESULT_VARIABLE result OUTPUT_VARIABLE version ERROR_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^glimmerweave [0-9]")
  message(FATAL_ERROR "the installed glimmerweave -version gave ${result}: ${version}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
