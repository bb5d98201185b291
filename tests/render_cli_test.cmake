# Checks glimmerweave-render's command line: --help, the exit status for bad options,
# the size and naming of the PNG and PPM files it writes, that one set of options always
# gives the same file, and that an empty frame writes none. Run by CTest as the test
# render_cli (natively and under Wine).

cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/renderer_test_support.cmake")
renderer_test_begin()

# --help describes the options and exits 0.
renderer_test_run(help "${RENDERER}" --help)
if(NOT help_RESULT STREQUAL "0")
  renderer_test_fail("--help exited with '${help_RESULT}', not 0")
endif()
if(NOT help_OUTPUT MATCHES "--algorithm" OR NOT help_OUTPUT MATCHES "--output")
  renderer_test_fail("--help does not list --algorithm and --output:\n${help_OUTPUT}")
endif()
if(NOT help_OUTPUT MATCHES "\\.ppm, in any case")
  renderer_test_fail("--help does not say that a name ending in .ppm, in any case, "
    "writes PPM:\n${help_OUTPUT}")
endif()

# A bad option is reported and exits 2, writing nothing.
foreach(bad_case IN ITEMS
    "--no-such-option|--output|bad.png"
    "--width|wide|--output|bad.png"
    "--output|bad.png|--height")
  string(REPLACE "|" ";" bad_arguments "${bad_case}")
  string(REPLACE "|" " " bad_text "${bad_case}")
  renderer_test_run(bad "${RENDERER}" ${bad_arguments})
  if(NOT bad_RESULT STREQUAL "2")
    renderer_test_fail("'${bad_text}' exited with '${bad_RESULT}', not 2")
  endif()
  if(bad_ERROR STREQUAL "")
    renderer_test_fail("'${bad_text}' printed no message on stderr")
  endif()
  if(EXISTS "${WORK_DIR}/bad.png")
    renderer_test_fail("'${bad_text}' wrote bad.png")
  endif()
endforeach()

# One frame: the file has the requested size, and the same options give the same bytes.
set(one_frame --algorithm 0 --seed 7 --width 48 --height 30 --ticks 2)
renderer_test_run_ok("${RENDERER}" ${one_frame} --output first.png)
renderer_test_run_ok("${RENDERER}" ${one_frame} --output second.png)
renderer_test_png_size("${WORK_DIR}/first.png" width height)
if(NOT width EQUAL 48 OR NOT height EQUAL 30)
  renderer_test_fail("first.png is ${width}x${height}, not 48x30")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
  "${WORK_DIR}/first.png" "${WORK_DIR}/second.png" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  renderer_test_fail("the same options gave different files first.png and second.png")
endif()

# Several frames: a four-digit frame number goes before the extension.
renderer_test_run_ok("${RENDERER}" --algorithm 0 --seed 7 --width 20 --height 10
  --frames 3 --output clip.png)
foreach(frame IN ITEMS 0000 0001 0002)
  renderer_test_png_size("${WORK_DIR}/clip${frame}.png" width height)
  if(NOT width EQUAL 20 OR NOT height EQUAL 10)
    renderer_test_fail("clip${frame}.png is ${width}x${height}, not 20x10")
  endif()
endforeach()
foreach(unexpected IN ITEMS clip.png clip0003.png)
  if(EXISTS "${WORK_DIR}/${unexpected}")
    renderer_test_fail("--frames 3 also wrote ${unexpected}")
  endif()
endforeach()

# A name ending in .ppm, in any case, gives a binary PPM of the requested size; the
# same options give the same bytes, and the format does not follow the name's case.
renderer_test_run_ok("${RENDERER}" ${one_frame} --output first.ppm)
renderer_test_run_ok("${RENDERER}" ${one_frame} --output UPPER.PPM)
foreach(file IN ITEMS first.ppm UPPER.PPM)
  renderer_test_ppm_size("${WORK_DIR}/${file}" width height)
  if(NOT width EQUAL 48 OR NOT height EQUAL 30)
    renderer_test_fail("${file} is ${width}x${height}, not 48x30")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
  "${WORK_DIR}/first.ppm" "${WORK_DIR}/UPPER.PPM" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  renderer_test_fail("the same options gave different files first.ppm and UPPER.PPM")
endif()

# Numbered PPM frames keep their extension and their format.
renderer_test_run_ok("${RENDERER}" --algorithm 0 --seed 7 --width 20 --height 10
  --frames 2 --output clip.Ppm)
foreach(frame IN ITEMS 0000 0001)
  renderer_test_ppm_size("${WORK_DIR}/clip${frame}.Ppm" width height)
  if(NOT width EQUAL 20 OR NOT height EQUAL 10)
    renderer_test_fail("clip${frame}.Ppm is ${width}x${height}, not 20x10")
  endif()
endforeach()

# A frame without pixels writes no file in either format, says so and exits 0:
# netpbm's readers take no PPM of width or height 0, and PNG has none.
foreach(empty IN ITEMS empty.png empty.ppm)
  renderer_test_run(zero "${RENDERER}" --width 0 --height 10 --output ${empty})
  if(NOT zero_RESULT STREQUAL "0")
    renderer_test_fail("--width 0 --output ${empty} exited with '${zero_RESULT}', not 0")
  endif()
  if(NOT zero_ERROR MATCHES "no image was written")
    renderer_test_fail("--width 0 --output ${empty} did not say that it wrote nothing:\n"
      "${zero_ERROR}")
  endif()
  if(EXISTS "${WORK_DIR}/${empty}")
    renderer_test_fail("--width 0 --output ${empty} wrote ${empty}")
  endif()
endforeach()
