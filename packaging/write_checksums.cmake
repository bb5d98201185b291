# Writes OUTPUT (SHA256SUMS) for the FILES (names in DIR), in the format of sha256sum,
# so that `sha256sum -c SHA256SUMS` checks them:
#   cmake -DDIR=... -DFILES=a;b -DOUTPUT=.../SHA256SUMS -P write_checksums.cmake
cmake_minimum_required(VERSION 3.25)

foreach(variable DIR FILES OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "write_checksums.cmake needs -D${variable}=...")
  endif()
endforeach()

set(lines "")
foreach(name IN LISTS FILES)
  file(SHA256 "${DIR}/${name}" hash)
  string(APPEND lines "${hash}  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}" "${lines}")
