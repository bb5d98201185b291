# Checks glimmerweave-render's command line: --help, the exit status for bad options,
# the size and naming of the PNG and PPM files it writes, that one set of options always
# gives the same file, that an empty frame writes none, that a short run prints nothing,
# and what a failed write says and leaves: one message naming the file and the system's
# reason, an existing file as it was, no temporary file, and a FIFO or a device written in
# place and never removed. Run by CTest as the test render_cli (natively and under Wine).
# The checks of a full disk and of device nodes need root (to mount a small tmpfs and to
# make the nodes); without it they are skipped, saying so.

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

# Several frames: a four-digit frame number goes before the extension. A run this short
# prints nothing.
renderer_test_run(clip "${RENDERER}" --algorithm 0 --seed 7 --width 20 --height 10
  --frames 3 --output clip.png)
if(NOT clip_RESULT STREQUAL "0")
  renderer_test_fail("--frames 3 --output clip.png exited with '${clip_RESULT}':\n${clip_ERROR}")
endif()
if(NOT clip_ERROR STREQUAL "")
  renderer_test_fail("--frames 3 --output clip.png printed on stderr:\n${clip_ERROR}")
endif()
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

# ---------------------------------------------------------------------------------------
# Failed writes

renderer_test_system_reasons(missing_folder full_disk)

# Checks that the run <prefix> (of renderer_test_run) failed with status 2 and said only
# that FILE cannot be written, for the reason matching the regular expression REASON.
function(expect_cannot_write prefix file reason)
  renderer_test_literal("${file}" file_regex)
  if(NOT ${prefix}_RESULT STREQUAL "2")
    renderer_test_fail("writing ${file} exited with '${${prefix}_RESULT}', not 2")
  endif()
  if(NOT ${prefix}_ERROR MATCHES "^glimmerweave-render: cannot write '${file_regex}': ${reason}\n$")
    renderer_test_fail("writing ${file} did not say \"glimmerweave-render: cannot write "
      "'${file}': ${reason}\" and nothing else:\n${${prefix}_ERROR}")
  endif()
endfunction()

# A file in a folder that does not exist: the file and the system's reason, nothing left.
renderer_test_run(missing "${RENDERER}" --width 8 --height 8 --output missing/x.png)
expect_cannot_write(missing missing/x.png "${missing_folder}")
if(EXISTS "${WORK_DIR}/missing")
  renderer_test_fail("writing into a missing folder made it")
endif()

# A FIFO is written in place: what is read from it is the frame, and it stays a FIFO. Its
# reader runs beside the renderer (cat, in the same pipeline); were the FIFO replaced by a
# file, the reader would wait for a writer until the time-out.
set(fifo_frame --algorithm 22 --seed 3 --width 24 --height 16)
renderer_test_run_ok("${RENDERER}" ${fifo_frame} --output fifo-expected.ppm)
execute_process(COMMAND mkfifo fifo.ppm WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  renderer_test_fail("mkfifo fifo.ppm failed in ${WORK_DIR}")
endif()
execute_process(
  COMMAND ${EMULATOR} "${RENDERER}" ${fifo_frame} --output fifo.ppm
  COMMAND cat fifo.ppm
  WORKING_DIRECTORY "${WORK_DIR}"
  RESULTS_VARIABLE fifo_results
  OUTPUT_FILE "${WORK_DIR}/fifo-received.ppm"
  ERROR_VARIABLE fifo_error
  TIMEOUT 120)
if(NOT fifo_results STREQUAL "0;0")
  renderer_test_fail("writing into the FIFO fifo.ppm and reading it ended with '${fifo_results}' "
    "(renderer;cat):\n${fifo_error}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
  "${WORK_DIR}/fifo-expected.ppm" "${WORK_DIR}/fifo-received.ppm" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  renderer_test_fail("what was read from the FIFO fifo.ppm is not the frame "
    "(fifo-expected.ppm, fifo-received.ppm)")
endif()
renderer_test_file_kind("${WORK_DIR}/fifo.ppm" kind)
if(NOT kind STREQUAL "fifo")
  renderer_test_fail("fifo.ppm is a ${kind} after the renderer wrote it, not a FIFO")
endif()

renderer_test_is_root(root)
if(NOT root)
  message(STATUS "render_cli: skipped the checks of a full disk and of device nodes: "
    "mounting a small tmpfs and making device nodes need root")
  return()
endif()

# A full disk: a tmpfs of 64 KiB, where the 800 x 600 frame (over 64 KiB as PNG and as
# PPM) does not fit. The existing file keeps its bytes and no temporary file is left. The
# disk is unmounted before any failure is reported.
renderer_test_mount_small_disk(small-disk 64k)
set(problems)
foreach(name IN ITEMS keep.png keep.ppm)
  set(older "the bytes of an older ${name}")
  file(WRITE "${WORK_DIR}/small-disk/${name}" "${older}")
  renderer_test_run(full "${RENDERER}" --algorithm 12 --seed 5 --output small-disk/${name})
  renderer_test_literal("small-disk/${name}" file_regex)
  if(NOT full_RESULT STREQUAL "2" OR NOT full_ERROR MATCHES
      "^glimmerweave-render: cannot write '${file_regex}': ${full_disk}\n$")
    list(APPEND problems "writing small-disk/${name} on a full disk exited with "
      "'${full_RESULT}' (not 2) and said:\n${full_ERROR}")
  endif()
  file(READ "${WORK_DIR}/small-disk/${name}" now)
  if(NOT now STREQUAL older)
    list(APPEND problems "small-disk/${name} lost its bytes when writing it failed: '${now}'")
  endif()
endforeach()
file(GLOB left RELATIVE "${WORK_DIR}/small-disk" "${WORK_DIR}/small-disk/*")
list(SORT left)
if(NOT left STREQUAL "keep.png;keep.ppm")
  list(APPEND problems "the full disk holds '${left}', not just keep.png and keep.ppm")
endif()
renderer_test_unmount(small-disk)
if(problems)
  list(JOIN problems "\n" problems)
  renderer_test_fail("${problems}")
endif()
# The control: the same frames fit where there is room, and would not have fitted.
foreach(name IN ITEMS control.png control.ppm)
  renderer_test_run_ok("${RENDERER}" --algorithm 12 --seed 5 --output ${name})
  file(SIZE "${WORK_DIR}/${name}" size)
  if(size LESS_EQUAL 65536)
    renderer_test_fail("${name} has ${size} bytes, which fit on the 64 KiB disk: the check "
      "of a full disk above proves nothing")
  endif()
endforeach()

# Device nodes are written in place and never removed: one that refuses every write
# (the numbers of /dev/full) fails with the system's reason, one that takes them (those
# of /dev/null, the control) succeeds; both stay devices.
foreach(device IN ITEMS "full.png|1|7" "null.png|1|3")
  string(REPLACE "|" ";" device "${device}")
  list(GET device 0 name)
  list(GET device 1 major)
  list(GET device 2 minor)
  execute_process(COMMAND mknod -m 666 ${name} c ${major} ${minor}
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE made ERROR_VARIABLE error)
  if(NOT made EQUAL 0)
    renderer_test_fail("mknod ${name} c ${major} ${minor} failed: ${error}")
  endif()
endforeach()
renderer_test_run(full "${RENDERER}" --width 20 --height 20 --output full.png)
expect_cannot_write(full full.png "${full_disk}")
renderer_test_run(null "${RENDERER}" --width 20 --height 20 --output null.png)
if(NOT null_RESULT STREQUAL "0")
  renderer_test_fail("writing the device null.png exited with '${null_RESULT}':\n${null_ERROR}")
endif()
foreach(name IN ITEMS full.png null.png)
  renderer_test_file_kind("${WORK_DIR}/${name}" kind)
  if(NOT kind STREQUAL "character special file")
    renderer_test_fail("the device ${name} is a ${kind} after the renderer wrote it")
  endif()
endforeach()
file(GLOB left RELATIVE "${WORK_DIR}" "${WORK_DIR}/.*")
if(left)
  renderer_test_fail("temporary files were left behind: ${left}")
endif()
