# Helpers shared by the renderer tool's test scripts (run with cmake -P; see
# glimmerweave_add_renderer_test in tests/CMakeLists.txt for the variables they get).

# Stops the test with a message made of the arguments.
function(renderer_test_fail)
  string(JOIN "" text ${ARGV})
  message(FATAL_ERROR "FAILED: ${text}")
endfunction()

# Checks the variables every renderer test needs, turns EMULATOR back into a list and
# empties WORK_DIR.
macro(renderer_test_begin)
  foreach(_variable RENDERER WORK_DIR)
    if(NOT DEFINED ${_variable} OR "${${_variable}}" STREQUAL "")
      renderer_test_fail("${_variable} is not set")
    endif()
  endforeach()
  if(NOT EXISTS "${RENDERER}")
    renderer_test_fail("no renderer at ${RENDERER}")
  endif()
  string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
  # A run stopped before it unmounted its small disk leaves it mounted; the folder
  # cannot be emptied while it is.
  renderer_test_unmount_below("${WORK_DIR}")
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
endmacro()

# Runs PROGRAM (a renderer) with the given arguments in WORK_DIR, through EMULATOR when
# PROGRAM is RENDERER, the renderer under test, and sets <prefix>_RESULT,
# <prefix>_OUTPUT and <prefix>_ERROR in the caller.
function(renderer_test_run prefix program)
  set(command "${program}")
  if(program STREQUAL "${RENDERER}")
    set(command ${EMULATOR} "${RENDERER}")
  endif()
  execute_process(
    COMMAND ${command} ${ARGN}
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE error
    TIMEOUT 300)
  set(${prefix}_RESULT "${result}" PARENT_SCOPE)
  set(${prefix}_OUTPUT "${output}" PARENT_SCOPE)
  set(${prefix}_ERROR "${error}" PARENT_SCOPE)
endfunction()

# Runs PROGRAM like renderer_test_run and fails unless it exits with status 0.
function(renderer_test_run_ok program)
  renderer_test_run(run "${program}" ${ARGN})
  if(NOT run_RESULT STREQUAL "0")
    list(JOIN ARGN " " arguments)
    renderer_test_fail("'${program} ${arguments}' exited with '${run_RESULT}'\n"
      "stdout:\n${run_OUTPUT}\nstderr:\n${run_ERROR}")
  endif()
endfunction()

# Sets <width_var> and <height_var> to the size in the header of the PNG file FILE,
# failing if FILE does not start like a PNG file.
function(renderer_test_png_size file width_var height_var)
  if(NOT EXISTS "${file}")
    renderer_test_fail("${file} was not written")
  endif()
  file(READ "${file}" head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 32 signature_and_chunk)
  # The eight-byte PNG signature, then the length (13) and type of the IHDR chunk.
  if(NOT signature_and_chunk STREQUAL "89504e470d0a1a0a0000000d49484452")
    renderer_test_fail("${file} does not start with a PNG signature and IHDR chunk")
  endif()
  string(SUBSTRING "${head}" 32 8 width_hex)
  string(SUBSTRING "${head}" 40 8 height_hex)
  math(EXPR width "0x${width_hex}")
  math(EXPR height "0x${height_hex}")
  set(${width_var} "${width}" PARENT_SCOPE)
  set(${height_var} "${height}" PARENT_SCOPE)
endfunction()

# Sets <width_var> and <height_var> to the size in the header of the binary PPM file
# FILE, failing unless FILE is exactly a P6 header "P6\n<width> <height>\n255\n" and
# width x height pixels of three bytes.
function(renderer_test_ppm_size file width_var height_var)
  if(NOT EXISTS "${file}")
    renderer_test_fail("${file} was not written")
  endif()
  # The header is short ASCII; read it as hex so that the pixel bytes after it cannot
  # upset CMake's strings.
  file(READ "${file}" head LIMIT 32 HEX)
  string(LENGTH "${head}" hex_length)
  set(header "")
  set(newlines 0)
  set(offset 0)
  while(offset LESS hex_length AND newlines LESS 3)
    string(SUBSTRING "${head}" ${offset} 2 byte)
    math(EXPR code "0x${byte}")
    if(code LESS 32 AND NOT code EQUAL 10 OR code GREATER 126)
      break()
    endif()
    if(code EQUAL 10)
      math(EXPR newlines "${newlines} + 1")
    endif()
    string(ASCII ${code} character)
    string(APPEND header "${character}")
    math(EXPR offset "${offset} + 2")
  endwhile()
  if(NOT header MATCHES "^P6\n([1-9][0-9]*) ([1-9][0-9]*)\n255\n$")
    renderer_test_fail("${file} does not start with a P6 header 'P6\\n<width> <height>\\n255\\n'")
  endif()
  set(width "${CMAKE_MATCH_1}")
  set(height "${CMAKE_MATCH_2}")
  string(LENGTH "${header}" header_size)
  math(EXPR expected_size "${header_size} + ${width} * ${height} * 3")
  file(SIZE "${file}" size)
  if(NOT size EQUAL expected_size)
    renderer_test_fail("${file} has ${size} bytes, but its ${width} x ${height} header "
      "asks for ${expected_size}")
  endif()
  set(${width_var} "${width}" PARENT_SCOPE)
  set(${height_var} "${height}" PARENT_SCOPE)
endfunction()

# Sets <regex_var> to a regular expression that matches TEXT exactly, and nothing else.
function(renderer_test_literal text regex_var)
  string(REGEX REPLACE "([][.*+?^$()|\\{}])" "\\\\\\1" regex "${text}")
  set(${regex_var} "${regex}" PARENT_SCOPE)
endfunction()

# Sets <missing_folder_var> and <full_disk_var> to regular expressions of the system's
# words for a file in a folder that does not exist and for a full disk, as the renderer
# under test reports them: strerror's natively; under Wine, Wine's for
# ERROR_PATH_NOT_FOUND and ERROR_DISK_FULL, or Windows' own.
function(renderer_test_system_reasons missing_folder_var full_disk_var)
  if(EMULATOR STREQUAL "")
    set(${missing_folder_var} "No such file or directory" PARENT_SCOPE)
    set(${full_disk_var} "No space left on device" PARENT_SCOPE)
  else()
    set(${missing_folder_var} "(Path not found|The system cannot find the path specified)"
      PARENT_SCOPE)
    set(${full_disk_var} "(Disk full|There is not enough space on the disk)" PARENT_SCOPE)
  endif()
endfunction()

# Sets <var> to true when the test runs as root, which mounting a small file system and
# making device nodes need.
function(renderer_test_is_root var)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE result)
  if(result EQUAL 0 AND uid STREQUAL "0")
    set(${var} TRUE PARENT_SCOPE)
  else()
    set(${var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Mounts a tmpfs of SIZE (for example 64k) at DIR, a folder of WORK_DIR made here.
# Whoever mounts it unmounts it with renderer_test_unmount before the test ends, failed
# or not.
function(renderer_test_mount_small_disk dir size)
  file(MAKE_DIRECTORY "${WORK_DIR}/${dir}")
  execute_process(COMMAND mount -t tmpfs -o "size=${size},nosuid,nodev" tmpfs "${WORK_DIR}/${dir}"
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    renderer_test_fail("cannot mount a tmpfs of ${size} at ${WORK_DIR}/${dir}: ${error}")
  endif()
endfunction()

# Unmounts the file system at DIR (in WORK_DIR). Lazily: a program still holding one of
# its files cannot keep it mounted.
function(renderer_test_unmount dir)
  execute_process(COMMAND umount -l "${WORK_DIR}/${dir}" RESULT_VARIABLE result
    ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    renderer_test_fail("cannot unmount ${WORK_DIR}/${dir}: ${error}")
  endif()
endfunction()

# Unmounts every file system mounted below the folder DIR.
function(renderer_test_unmount_below dir)
  if(NOT EXISTS /proc/self/mounts)
    return()
  endif()
  file(STRINGS /proc/self/mounts mounts)
  foreach(line IN LISTS mounts)
    string(REPLACE " " ";" fields "${line}")
    list(GET fields 1 mount_point)
    string(FIND "${mount_point}" "${dir}/" position)
    if(position EQUAL 0)
      execute_process(COMMAND umount -l "${mount_point}")
    endif()
  endforeach()
endfunction()

# Sets <var> to the kind of what PATH names, as stat's %F says it ("regular file",
# "character special file", "fifo", ...), or "missing".
function(renderer_test_file_kind path var)
  execute_process(COMMAND stat -c %F "${path}" OUTPUT_VARIABLE kind
    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result ERROR_QUIET)
  if(NOT result EQUAL 0)
    set(kind missing)
  endif()
  set(${var} "${kind}" PARENT_SCOPE)
endfunction()
