# Renders the same frames with the native renderer (NATIVE_RENDERER) and the Windows
# renderer under Wine (RENDERER through EMULATOR), then checks that every PNG file is
# byte for byte the same: the engine must draw identical pictures in both builds.
# Run by CTest as the test renderers_agree in the Windows build.

cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/renderer_test_support.cmake")
renderer_test_begin()
if(NOT DEFINED NATIVE_RENDERER OR NOT EXISTS "${NATIVE_RENDERER}")
  renderer_test_fail("no native renderer at '${NATIVE_RENDERER}': build the native "
    "preset first (cmake --preset native && cmake --build --preset native)")
endif()

# Each case is a name and the renderer's options; '|' separates the options.
set(common --seed 12345 --width 160 --height 120)
set(cases)
foreach(algorithm IN ITEMS 0 7 12 15 18 23 29 33)
  list(APPEND cases "algorithm${algorithm}=--algorithm|${algorithm}|--ticks|3")
endforeach()
list(APPEND cases
  "phases=--algorithm|15|--phase-a|1.2345678901234567891|--phase-b|2|--speed|0|--z0|0.3|--ticks|3"
  "clip=--algorithm|23|--frames|3")
# Files each build must write: one per single-frame case, three for the clip.
set(expected_files)

foreach(case IN LISTS cases)
  string(REGEX MATCH "^([^=]+)=(.*)$" unused "${case}")
  set(name "${CMAKE_MATCH_1}")
  string(REPLACE "|" ";" arguments "${CMAKE_MATCH_2}")
  foreach(build IN ITEMS native windows)
    file(MAKE_DIRECTORY "${WORK_DIR}/${build}")
  endforeach()
  renderer_test_run_ok("${NATIVE_RENDERER}" ${common} ${arguments} --output native/${name}.png)
  renderer_test_run_ok("${RENDERER}" ${common} ${arguments} --output windows/${name}.png)
  if(name STREQUAL "clip")
    list(APPEND expected_files clip0000.png clip0001.png clip0002.png)
  else()
    list(APPEND expected_files ${name}.png)
  endif()
endforeach()

# Both builds wrote exactly the expected files, and the same bytes in each.
list(SORT expected_files)
foreach(build IN ITEMS native windows)
  file(GLOB written RELATIVE "${WORK_DIR}/${build}" "${WORK_DIR}/${build}/*")
  list(SORT written)
  if(NOT written STREQUAL expected_files)
    list(JOIN written ", " written)
    list(JOIN expected_files ", " expected)
    renderer_test_fail("the ${build} renderer wrote '${written}', expected '${expected}'")
  endif()
endforeach()
set(differing)
foreach(file IN LISTS expected_files)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
    "${WORK_DIR}/native/${file}" "${WORK_DIR}/windows/${file}" RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    list(APPEND differing ${file})
  endif()
endforeach()
if(differing)
  list(JOIN differing ", " differing)
  renderer_test_fail("native and Windows renderers drew different files: ${differing} "
    "(both sets are in ${WORK_DIR})")
endif()
list(LENGTH expected_files count)
message(STATUS "native and Windows renderers agree on ${count} files")
