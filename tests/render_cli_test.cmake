# Checks glimmerweave-render's command line: --help, the exit status for bad options,
# the size and naming of the PNG files it writes, and that one set of options always
# gives the same file. Run by CTest as the test render_cli (natively and under Wine).

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
