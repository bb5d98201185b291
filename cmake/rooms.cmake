# The rooms of src/: each folder is one static library that links only the rooms it
# stands on. So that an arrow cannot run upward even through a header alone, the
# configure step reads every #include of a room's files and refuses one that names a
# room the room does not stand on (directly or through the rooms beneath it), and a
# display system's header anywhere but in that system's platform room.
#
#   glimmerweave_room(ROOM [TARGET name] [EXECUTABLE] SOURCES file... [STANDS_ON room...]
#                     [LIBRARIES target...])
#
# ROOM is the folder under src/ ("engine", "platform/x11"); the library is
# glimmerweave_<ROOM> unless TARGET names it. With EXECUTABLE the room is a program
# (TARGET), which no other room can stand on. LIBRARIES are further targets to link
# that are not rooms (the system's libraries). "glimmerweave/version.h", made in the
# build tree, may be included anywhere.

# The headers of each display system, which only its platform room may include.
set(glimmerweave_display_headers_platform/win32 "^(windows|winuser|wingdi|ddraw|mmsystem|commctrl|uxtheme|dwmapi|shellapi|shlobj|objbase|wincodec)\\.h$")
set(glimmerweave_display_headers_platform/x11 "^X11/")
set(glimmerweave_display_headers_platform/wayland "^(wayland-[a-z-]+|xkbcommon/.*|.*-client-protocol)\\.h$")

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
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    cmake_path(RELATIVE_PATH file BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE shown)
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
      if(line MATCHES "\"")
        cmake_path(GET header PARENT_PATH header_room)
        if(NOT header_room STREQUAL "glimmerweave" AND NOT header_room IN_LIST allowed)
          message(FATAL_ERROR "${shown} includes \"${header}\", but the room ${room} does "
            "not stand on the room ${header_room} (it stands on: ${arg_STANDS_ON}). "
            "See HACKING.md.")
        endif()
      else()
        foreach(platform platform/win32 platform/x11 platform/wayland)
          if(NOT room STREQUAL platform
             AND header MATCHES "${glimmerweave_display_headers_${platform}}")
            message(FATAL_ERROR "${shown} includes <${header}>, which only src/${platform} "
              "may include. See HACKING.md.")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()

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
