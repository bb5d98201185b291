# Checks the packages the Windows build made: their names carry the version; the zip
# holds exactly the listed files, each the staged one, the texts with Windows line
# endings; SHA256SUMS matches both packages; and the same files make the same zip
# byte for byte when SOURCE_DATE_EPOCH is set. Run by CTest as the test
# portable_package, with INSTALLER, ZIP, CHECKSUMS, STAGE_DIR, FILES, LICENSE (the
# source), VERSION, MAKE_ZIP (packaging/make_zip.cmake), ZIP_PROGRAM and WORK_DIR.

cmake_minimum_required(VERSION 3.25)

function(fail)
  string(JOIN "" text ${ARGV})
  message(FATAL_ERROR "FAILED: ${text}")
endfunction()

foreach(variable INSTALLER ZIP CHECKSUMS STAGE_DIR FILES LICENSE VERSION MAKE_ZIP ZIP_PROGRAM
    WORK_DIR)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    fail("${variable} is not set")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# ---------------------------------------------------------------------------------------
# Names

get_filename_component(installer_name "${INSTALLER}" NAME)
get_filename_component(zip_name "${ZIP}" NAME)
if(NOT installer_name STREQUAL "glimmerweave-${VERSION}-setup.exe")
  fail("the installer is named ${installer_name}")
endif()
if(NOT zip_name STREQUAL "glimmerweave-${VERSION}-windows-x64.zip")
  fail("the portable package is named ${zip_name}")
endif()

# ---------------------------------------------------------------------------------------
# The zip's contents

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${ZIP}"
  RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  fail("cannot list ${ZIP}: ${error}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listed "${listing}")
set(expected ${FILES})
list(SORT listed)
list(SORT expected)
if(NOT listed STREQUAL expected)
  fail("${zip_name} holds [${listed}], not exactly [${expected}]")
endif()

set(unpacked "${WORK_DIR}/unpacked")
file(MAKE_DIRECTORY "${unpacked}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${ZIP}" WORKING_DIRECTORY "${unpacked}"
  RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  fail("cannot unpack ${ZIP}: ${error}")
endif()
foreach(name IN LISTS FILES)
  file(SHA256 "${unpacked}/${name}" packed_hash)
  file(SHA256 "${STAGE_DIR}/${name}" staged_hash)
  if(NOT packed_hash STREQUAL staged_hash)
    fail("${name} in the zip is not the staged ${STAGE_DIR}/${name}")
  endif()
  if(name MATCHES "\\.(exe|scr)$")
    file(READ "${unpacked}/${name}" head LIMIT 2 HEX)
    if(NOT head STREQUAL "4d5a")
      fail("${name} in the zip is not a Windows program")
    endif()
  endif()
endforeach()

# The texts: CR LF at the end of every line, and what they must say. Compared as bytes
# ("0d 0a "), since file(READ) as text drops the CRs.
function(spaced_hex file variable)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " spaced "${hex}")
  set(${variable} "${spaced}" PARENT_SCOPE)
endfunction()
foreach(name README.txt LICENSE.txt)
  spaced_hex("${unpacked}/${name}" bytes)
  string(REGEX MATCHALL "0a " line_feeds "${bytes}")
  string(REGEX MATCHALL "0d " carriage_returns "${bytes}")
  string(REGEX MATCHALL "0d 0a " line_ends "${bytes}")
  list(LENGTH line_feeds lf_count)
  list(LENGTH carriage_returns cr_count)
  list(LENGTH line_ends crlf_count)
  if(lf_count EQUAL 0 OR NOT lf_count EQUAL crlf_count OR NOT cr_count EQUAL crlf_count)
    fail("${name} has ${lf_count} LF, ${cr_count} CR and ${crlf_count} CR LF: its lines "
      "must all end in CR LF")
  endif()
  if(NOT bytes MATCHES "0d 0a $")
    fail("${name} does not end with CR LF")
  endif()
endforeach()
spaced_hex("${unpacked}/LICENSE.txt" licence_bytes)
spaced_hex("${LICENSE}" source_bytes)
string(REPLACE "0a " "0d 0a " source_bytes "${source_bytes}")
if(NOT licence_bytes STREQUAL source_bytes)
  fail("LICENSE.txt is not LICENSE with Windows line endings")
endif()
file(READ "${unpacked}/LICENSE.txt" licence)
if(NOT licence MATCHES "MIT License" OR NOT licence MATCHES "Glimmerweave developers")
  fail("LICENSE.txt is not the MIT licence of the Glimmerweave developers")
endif()
file(READ "${unpacked}/README.txt" readme)
foreach(phrase IN ITEMS "Glimmerweave ${VERSION}" "glimmerweave-${VERSION}-setup.exe"
    "C:\\\\Windows\\\\System32" "choose Install" "Screen Saver Settings"
    "HKEY_CURRENT_USER\\\\Software\\\\Glimmerweave")
  if(NOT readme MATCHES "${phrase}")
    fail("README.txt does not mention '${phrase}'")
  endif()
endforeach()

# ---------------------------------------------------------------------------------------
# SHA256SUMS: one line per package, in the format sha256sum -c reads

file(STRINGS "${CHECKSUMS}" lines)
list(LENGTH lines count)
if(NOT count EQUAL 2)
  fail("SHA256SUMS has ${count} lines, not 2:\n${lines}")
endif()
set(summed "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([0-9a-f]+)  ([^ /]+)$")
    fail("SHA256SUMS line '${line}' is not 'HASH  NAME'")
  endif()
  set(hash "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  get_filename_component(dist "${CHECKSUMS}" DIRECTORY)
  if(NOT EXISTS "${dist}/${name}")
    fail("SHA256SUMS names ${name}, which is not beside it")
  endif()
  file(SHA256 "${dist}/${name}" actual)
  if(NOT hash STREQUAL actual)
    fail("SHA256SUMS gives ${hash} for ${name}, whose SHA-256 is ${actual}")
  endif()
  list(APPEND summed "${name}")
endforeach()
list(SORT summed)
set(packages "${installer_name}" "${zip_name}")
list(SORT packages)
if(NOT summed STREQUAL packages)
  fail("SHA256SUMS covers [${summed}], not [${packages}]")
endif()

# ---------------------------------------------------------------------------------------
# The same files make the same zip, whenever their copies were touched

set(copies "${WORK_DIR}/copies")
file(MAKE_DIRECTORY "${copies}")
foreach(name IN LISTS FILES)
  file(COPY "${STAGE_DIR}/${name}" DESTINATION "${copies}")
endforeach()
set(ENV{SOURCE_DATE_EPOCH} 1700000000)
foreach(round first second)
  execute_process(COMMAND ${CMAKE_COMMAND} -DZIP=${ZIP_PROGRAM} -DSTAGE_DIR=${copies}
      "-DFILES=${FILES}" -DOUTPUT=${WORK_DIR}/${round}.zip -DWORK_DIR=${WORK_DIR}/stamped
      -P "${MAKE_ZIP}"
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    fail("make_zip.cmake failed: ${error}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
  execute_process(COMMAND ${CMAKE_COMMAND} -E touch ${FILES} WORKING_DIRECTORY "${copies}")
endforeach()
file(SHA256 "${WORK_DIR}/first.zip" first)
file(SHA256 "${WORK_DIR}/second.zip" second)
if(NOT first STREQUAL second)
  fail("two zips of the same files with SOURCE_DATE_EPOCH set differ")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
list(JOIN FILES ", " names)
message(STATUS "${zip_name} holds ${names}; SHA256SUMS matches both packages")
