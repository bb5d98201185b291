# The rooms of src/: each folder is one static library that links only the rooms it
# stands on. So that an arrow cannot run upward even through a header alone, the
# configure step reads every #include of a room's files and refuses one that names a
# room the room does not stand on (directly or through the rooms beneath it), whether
# written "room/file.h" or <room/file.h>, and a display system's header anywhere but in
# that system's platform room.
#
#   glimmerweave_room(ROOM [TARGET name] [EXECUTABLE] SOURCES file... [STANDS_ON room...]
#                     [LIBRARIES target...])
#
# ROOM is the folder under src/ ("engine", "platform/x11"); the library is
# glimmerweave_<ROOM> unless TARGET names it. With EXECUTABLE the room is a program
# (TARGET), which no other room can stand on. LIBRARIES are further targets to link
# that are not rooms (the system's libraries). "glimmerweave/version.h", made in the
# build tree, may be included anywhere.

# The headers of each display system, which only its platform room may include, matched
# in lower case (Windows' file names are not case-sensitive). For Windows that is the
# SDK's headers beyond <windows.h> too: the registry, the timers, the power state and COM
# are the system's as much as its windows are.
string(JOIN "|" glimmerweave_windows_headers
  "win[a-z0-9_]*" initguid ddraw mmsystem mmreg timeapi commctrl commdlg uxtheme dwmapi
  shellapi shellscalingapi shlobj shlwapi knownfolders objbase objidl propidl unknwn ole2
  oleauto wincodec powrprof versionhelpers processthreadsapi synchapi errhandlingapi
  handleapi fileapi libloaderapi sysinfoapi memoryapi dbghelp psapi tlhelp32 userenv
  wtsapi32 imm dinput "d3d[0-9a-z]*" "dxgi[0-9]*" mmdeviceapi audioclient)
set(glimmerweave_display_headers_platform/win32 "^(${glimmerweave_windows_headers})\\.h$|^wrl/")
set(glimmerweave_display_headers_platform/x11 "^(x11|xcb)/")
set(glimmerweave_display_headers_platform/wayland "^(wayland-[a-z-]+|xkbcommon/.*|.*-client-protocol)\\.h$")

# The folders under src/, where the rooms are: an include whose path begins with one of
# them names a room, in quotes or in angle brackets.
cmake_path(SET glimmerweave_rooms_dir NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../src")

# Refuses (FATAL_ERROR) an include in FILE... that ROOM may not make. ALLOWED is every
# room ROOM may include (itself and all beneath it), STANDS_ON what it names itself.
# Usable in script mode too.
function(glimmerweave_check_room_includes room allowed stands_on)
  foreach(file IN LISTS ARGN)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    if(DEFINED PROJECT_SOURCE_DIR)
      cmake_path(RELATIVE_PATH file BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE shown)
    else()
      set(shown ${file})
    endif()
    foreach(line IN LISTS includes)
      # The first quote or bracket of the line opens the header's name.
      string(REGEX MATCH "([<\"])([^>\"]+)[>\"]" written "${line}")
      set(open "${CMAKE_MATCH_1}")
      set(header "${CMAKE_MATCH_2}")
      cmake_path(NORMAL_PATH header OUTPUT_VARIABLE normal)
      string(REGEX REPLACE "/.*$" "" first "${normal}")
      if(open STREQUAL "\""
         OR (NOT first STREQUAL normal AND IS_DIRECTORY "${glimmerweave_rooms_dir}/${first}"))
        cmake_path(GET normal PARENT_PATH header_room)
        if(NOT header_room STREQUAL "glimmerweave" AND NOT header_room IN_LIST allowed)
          list(JOIN stands_on ", " beneath)
          if(beneath STREQUAL "")
            set(beneath "nothing")
          endif()
          message(FATAL_ERROR "${shown} includes ${written}, but the room ${room} does "
            "not stand on the room ${header_room} (it stands on: ${beneath}). "
            "See HACKING.md.")
        endif()
      else()
        string(TOLOWER "${normal}" lower)
        foreach(platform platform/win32 platform/x11 platform/wayland)
          if(NOT room STREQUAL platform
             AND lower MATCHES "${glimmerweave_display_headers_${platform}}")
            message(FATAL_ERROR "${shown} includes ${written}, which only src/${platform} "
              "may include. See HACKING.md.")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
endfunction()

function(glimmerweave_room room)
  cmake_parse_arguments(PARSE_ARGV 1 arg "EXECUTABLE" "TARGET" "SOURCES;STANDS_ON;LIBRARIES")
  if(arg_TARGET)
    set(target ${arg_TARGET})
  else()
    set(target glimmerweave_${room})
  endif()

  # Everything this room may include: itself and, transitively, what it stands on.
  set(allowed ${room})
  foreach(below IN LISTS arg_STANDS_ON)
    get_property(known GLOBAL PROPERTY glimmerweave_room_${below}_allowed SET)
    if(NOT known)
      message(FATAL_ERROR "Room ${room} stands on ${below}, which is not a room (yet): "
        "add the rooms beneath first, in the top-level CMakeLists.txt.")
    endif()
    get_property(below_allowed GLOBAL PROPERTY glimmerweave_room_${below}_allowed)
    list(APPEND allowed ${below_allowed})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY glimmerweave_room_${room}_allowed ${allowed})

  file(GLOB room_files LIST_DIRECTORIES false
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(file IN LISTS room_files)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  endforeach()
  glimmerweave_check_room_includes(${room} "${allowed}" "${arg_STANDS_ON}" ${room_files})

  if(arg_EXECUTABLE)
    add_executable(${target} ${arg_SOURCES})
    set(scope PRIVATE)
  else()
    add_library(${target} STATIC ${arg_SOURCES})
    set(scope PUBLIC)
  endif()
  target_include_directories(${target} ${scope} ${PROJECT_SOURCE_DIR}/src)
  set(below_targets "")
  foreach(below IN LISTS arg_STANDS_ON)
    get_property(below_target GLOBAL PROPERTY glimmerweave_room_${below}_target)
    list(APPEND below_targets ${below_target})
  endforeach()
  set_property(GLOBAL PROPERTY glimmerweave_room_${room}_target ${target})
  target_link_libraries(${target} ${scope} glimmerweave_options ${below_targets} ${arg_LIBRARIES})
endfunction()
