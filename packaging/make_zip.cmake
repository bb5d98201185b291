# Makes the portable package: a zip of FILES (names in STAGE_DIR, in this order, at the
# zip's top level) as OUTPUT, with Debian's zip (ZIP). Run by the build:
#   cmake -DZIP=... -DSTAGE_DIR=... -DFILES=a;b -DOUTPUT=x.zip -DWORK_DIR=... -P make_zip.cmake
#
# With SOURCE_DATE_EPOCH set (scripts/package sets it to the last commit's time) every
# file is stamped with that time, and the same files make the same zip, byte for byte:
# no extra attributes (-X), times in UTC.
cmake_minimum_required(VERSION 3.25)

foreach(variable ZIP STAGE_DIR FILES OUTPUT WORK_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make_zip.cmake needs -D${variable}=...")
  endif()
endforeach()

# A copy to stamp, so that the staged files keep the times the build tracks them by.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(name IN LISTS FILES)
  file(COPY "${STAGE_DIR}/${name}" DESTINATION "${WORK_DIR}")
endforeach()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND touch -d "@$ENV{SOURCE_DATE_EPOCH}" ${FILES}
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not stamp the files with SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
  endif()
endif()

file(REMOVE "${OUTPUT}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${ZIP}" -X -D -q "${OUTPUT}" ${FILES}
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "zip failed (${status}) making ${OUTPUT}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
