# Unpacks the two Windows kits into UNPACK_DIR/release and UNPACK_DIR/demo
# and checks that each unpacks into exactly its layout: no file missing, none
# extra (the simulated ISP library above all stays out of the release kit),
# the empty Bin folder kept, and the text files with Windows line ends.
foreach(name RELEASE_ZIP DEMO_ZIP UNPACK_DIR)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "CheckPackages.cmake: ${name} is not set")
  endif()
endforeach()

set(failures 0)
macro(fail)
  message(SEND_ERROR ${ARGN})
  math(EXPR failures "${failures} + 1")
endmacro()

function(unpack zip folder)
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}" WORKING_DIRECTORY "${folder}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Cannot unpack ${zip}")
  endif()
endfunction()

macro(check_layout folder)
  file(GLOB_RECURSE found LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/*")
  list(SORT found)
  set(expected ${ARGN})
  list(SORT expected)
  if(NOT found STREQUAL expected)
    string(REPLACE ";" "\n  " shown "${found}")
    string(REPLACE ";" "\n  " wanted "${expected}")
    fail("${folder} holds\n  ${shown}\nbut should hold\n  ${wanted}")
  endif()
endmacro()

# file(READ) would hand over the text with its carriage returns dropped, so
# the bytes are looked at as hexadecimal pairs.
macro(check_text file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "(..)" "\\1;" bytes "${hex}")
  set(previous "")
  set(bare FALSE)
  foreach(byte IN LISTS bytes)
    if(byte STREQUAL "0a" AND NOT previous STREQUAL "0d")
      set(bare TRUE)
    endif()
    set(previous "${byte}")
  endforeach()
  if(hex STREQUAL "" OR bare)
    fail("${file} is empty or has line ends without a carriage return")
  endif()
endmacro()

set(release "${UNPACK_DIR}/release")
set(demo "${UNPACK_DIR}/demo")
unpack("${RELEASE_ZIP}" "${release}")
unpack("${DEMO_ZIP}" "${demo}")

set(common TolvaneEndUser.exe x64 x64/Bin x64/SpiFlash.ini x64/Tolvane.exe x64/a.bat x64/tolvane-cli.exe
           x86 x86/a.bat)
check_layout("${release}" ${common})
check_layout("${demo}" ${common} README.txt x64/ZQ460API.dll x64/HubBench.ini x64/Bin/HUB460.BIN
             x64/Bin/HUB0610.BIN)

foreach(file x64/a.bat x64/SpiFlash.ini x86/a.bat)
  check_text("${release}/${file}")
endforeach()
foreach(file README.txt x64/a.bat x64/HubBench.ini)
  check_text("${demo}/${file}")
endforeach()

# Only the demo may create the filter driver's key: on a real machine the
# driver's installer does.
file(READ "${release}/x64/a.bat" batch)
if(batch MATCHES "zq460filter")
  fail("the release kit's a.bat touches the filter driver's key")
endif()
file(READ "${demo}/x64/a.bat" batch)
if(NOT batch MATCHES "reg add \"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Services\\\\zq460filter\" /f")
  fail("the demo kit's a.bat does not create the filter driver's key")
endif()
if(NOT batch MATCHES "\nrem start \"\" /wait Tolvane.exe --history upgrades.jsonl\r?\n")
  fail("the demo kit's a.bat does not show the history as a commented line")
endif()
if(NOT batch MATCHES "reg delete \"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Services\\\\zq460filter\" /f")
  fail("the demo kit's a.bat does not remove the filter driver's key")
endif()

foreach(file TolvaneEndUser.exe x64/Tolvane.exe x64/tolvane-cli.exe x64/SpiFlash.ini x86/a.bat)
  file(SHA256 "${release}/${file}" a)
  file(SHA256 "${demo}/${file}" b)
  if(NOT a STREQUAL b)
    fail("${file} differs between the release and the demo kit")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) of the Windows kits failed")
endif()
message(STATUS "Both Windows kits unpack into their layouts")
