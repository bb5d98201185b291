# Checks that the tools report the project's version: `--version` prints
# "PROGRAM VERSION" and exits 0, and --help lists --version. Run by CTest as the test
# tool_versions (natively, and under Wine in the Windows build) with RENDERER, BENCH,
# EMULATOR (list items joined by '|'; empty natively) and VERSION.

cmake_minimum_required(VERSION 3.25)

foreach(variable RENDERER BENCH VERSION)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    message(FATAL_ERROR "FAILED: ${variable} is not set")
  endif()
endforeach()
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")

foreach(program IN ITEMS "${RENDERER}" "${BENCH}")
  get_filename_component(name "${program}" NAME_WE)
  foreach(option --version --help)
    execute_process(COMMAND ${EMULATOR} "${program}" ${option}
      RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error TIMEOUT 120)
    if(NOT result STREQUAL "0")
      message(FATAL_ERROR "FAILED: '${name} ${option}' exited with '${result}'\n${error}")
    endif()
    if(option STREQUAL "--version")
      # Windows programs end their lines with CR LF.
      string(REPLACE "\r\n" "\n" output "${output}")
      if(NOT output STREQUAL "${name} ${VERSION}\n")
        message(FATAL_ERROR "FAILED: '${name} --version' printed '${output}', "
          "not '${name} ${VERSION}'")
      endif()
    elseif(NOT output MATCHES "\n  --version  ")
      message(FATAL_ERROR "FAILED: '${name} --help' does not list --version:\n${output}")
    endif()
  endforeach()
endforeach()
message(STATUS "glimmerweave-render and glimmerweave-bench report version ${VERSION}")
