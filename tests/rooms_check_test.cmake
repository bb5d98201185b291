# The rooms' check (cmake/rooms.cmake) refuses what HACKING.md says a room may not include
# and lets the rest through. A row: the room (standing on the engine), the include, and
# what its refusal says ("" for none). A refusal ends a CMake run, so each row has its own.
#   cmake -DWORK_DIR=DIR -P rooms_check_test.cmake
cmake_minimum_required(VERSION 3.25)
if(DEFINED ROW_ROOM)
  include(${CMAKE_CURRENT_LIST_DIR}/../cmake/rooms.cmake)
  glimmerweave_check_room_includes(${ROW_ROOM} "${ROW_ROOM};engine" engine ${ROW_FILE})
  return()
endif()

set(rows
  "presentation|<native_program/hack_run.h>|does not stand on the room native_program"
  "presentation|\"native_program/hack_run.h\"|does not stand on the room native_program"
  "platform/wayland|<platform/x11/x11_xlib.h>|does not stand on the room platform/x11"
  "presentation|<engine/engine.h>|"
  "presentation|<glimmerweave/version.h>|"
  "windows_modes|<winreg.h>|which only src/platform/win32 may include"
  "engine|<Windows.h>|which only src/platform/win32 may include"
  "platform/win32|<winreg.h>|"
  "platform/wayland|<xcb/xcb.h>|which only src/platform/x11 may include"
  "platform/x11|<xcb/xcb.h>|"
  "native_program|<wayland-client.h>|which only src/platform/wayland may include")
file(MAKE_DIRECTORY ${WORK_DIR})
set(failures "")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 room)
  list(GET fields 1 include)
  list(LENGTH fields count)
  set(expected "")
  if(count EQUAL 3)
    list(GET fields 2 expected)
  endif()
  file(WRITE ${WORK_DIR}/row.cpp "#include ${include}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROW_ROOM=${room} -DROW_FILE=${WORK_DIR}/row.cpp
    -P ${CMAKE_CURRENT_LIST_FILE} RESULT_VARIABLE status ERROR_VARIABLE said)
  # The message is wrapped at any space.
  string(REGEX REPLACE "[ \n]+" " " said "${said}")
  string(FIND "${said}" "includes ${include}" names_include)
  string(FIND "${said}" "${expected}" says_why)
  if(expected STREQUAL "" AND NOT status EQUAL 0)
    string(APPEND failures "${room} may include ${include}, but: ${said}\n")
  elseif(NOT expected STREQUAL "" AND (names_include LESS 0 OR says_why LESS 0))
    string(APPEND failures "${room} including ${include} was not refused with '${expected}'\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
