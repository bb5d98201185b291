# Renders the same frames with the native renderer (NATIVE_RENDERER) and the Windows
# renderer under Wine (RENDERER through EMULATOR), as PPM and as PNG files, then checks
# that the engine drew identical pictures in both builds: every PPM file byte for byte
# the same, and every PNG file with the same pixels. The PNG files are compared by their
# decoded pixels, not their bytes, because the Windows renderer writes them with the
# Windows Imaging Component and the native one with libpng, which compress differently;
# the native helper PNG_COMPARE (compare_png_pixels) decodes both with libpng.
# Run by CTest as the test renderers_agree in the Windows build.

cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/renderer_test_support.cmake")
renderer_test_begin()
if(NOT DEFINED NATIVE_RENDERER OR NOT EXISTS "${NATIVE_RENDERER}")
  renderer_test_fail("no native renderer at '${NATIVE_RENDERER}': build the native "
    "preset first (cmake --preset native && cmake --build --preset native)")
endif()
if(NOT DEFINED PNG_COMPARE OR NOT EXISTS "${PNG_COMPARE}")
  renderer_test_fail("no native PNG comparer at '${PNG_COMPARE}': build the native "
    "preset's compare_png_pixels first (cmake --build --preset native), or point "
    "GLIMMERWEAVE_NATIVE_PNG_COMPARE at one")
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
# Files each build must write: one per single-frame case and format, three for the clip.
set(expected_files)

foreach(build IN ITEMS native windows)
  file(MAKE_DIRECTORY "${WORK_DIR}/${build}")
endforeach()
foreach(case IN LISTS cases)
  string(REGEX MATCH "^([^=]+)=(.*)$" unused "${case}")
  set(name "${CMAKE_MATCH_1}")
  string(REPLACE "|" ";" arguments "${CMAKE_MATCH_2}")
  foreach(extension IN ITEMS ppm png)
    renderer_test_run_ok("${NATIVE_RENDERER}" ${common} ${arguments}
      --output native/${name}.${extension})
    renderer_test_run_ok("${RENDERER}" ${common} ${arguments}
      --output windows/${name}.${extension})
    if(name STREQUAL "clip")
      list(APPEND expected_files
        clip0000.${extension} clip0001.${extension} clip0002.${extension})
    else()
      list(APPEND expected_files ${name}.${extension})
    endif()
  endforeach()
endforeach()

# Both builds wrote exactly the expected files.
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

# Runs PNG_COMPARE on FIRST and SECOND (relative to WORK_DIR) and sets <prefix>_RESULT
# (0 same pixels, 1 different, anything else a failure to compare) and <prefix>_OUTPUT.
function(compare_png_pixels prefix first second)
  execute_process(COMMAND "${PNG_COMPARE}" "${first}" "${second}"
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE error
    TIMEOUT 60)
  if(NOT result STREQUAL "0" AND NOT result STREQUAL "1")
    renderer_test_fail("'${PNG_COMPARE} ${first} ${second}' could not compare them "
      "(exit status '${result}'):\n${output}${error}")
  endif()
  string(STRIP "${output}" output)
  # The caller keeps it in a list.
  string(REPLACE ";" "," output "${output}")
  set(${prefix}_RESULT "${result}" PARENT_SCOPE)
  set(${prefix}_OUTPUT "${output}" PARENT_SCOPE)
endfunction()

# The comparer must see a difference where there is one, or its agreement below would
# mean nothing: the clip's frames are a tick apart and differ.
compare_png_pixels(guard native/clip0000.png native/clip0001.png)
if(NOT guard_RESULT STREQUAL "1")
  renderer_test_fail("${PNG_COMPARE} finds no difference between two different frames, "
    "native/clip0000.png and native/clip0001.png (in ${WORK_DIR})")
endif()

# The same PPM bytes, and PNG files with the same pixels.
set(differing)
foreach(file IN LISTS expected_files)
  if(file MATCHES "\\.ppm$")
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
      "${WORK_DIR}/native/${file}" "${WORK_DIR}/windows/${file}" RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      list(APPEND differing "${file}: the bytes differ")
    endif()
  else()
    compare_png_pixels(pixels native/${file} windows/${file})
    if(NOT pixels_RESULT STREQUAL "0")
      list(APPEND differing "${file}: ${pixels_OUTPUT}")
    endif()
  endif()
endforeach()
if(differing)
  list(JOIN differing "\n  " differing)
  renderer_test_fail("native and Windows renderers drew different files (both sets are in "
    "${WORK_DIR}):\n  ${differing}")
endif()
list(LENGTH expected_files count)
message(STATUS "native and Windows renderers agree on ${count} files")
