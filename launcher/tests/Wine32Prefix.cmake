# Makes the 32-bit Wine prefix of the 32-bit launcher's cases, or skips,
# saying why, where Wine runs 64-bit programs only.
#   cmake -DWINEBOOT=... -DPREFIX=... -P Wine32Prefix.cmake
cmake_minimum_required(VERSION 3.25)
if(DEFINED ENV{TOLVANE_NO_32BIT_PROGRAMS})
  message("skipped: no 32-bit programs run here ($ENV{TOLVANE_NO_32BIT_PROGRAMS}), so no 32-bit Wine prefix")
  return()
endif()
set(ENV{WINEARCH} win32)
set(ENV{WINEPREFIX} "${PREFIX}")
execute_process(COMMAND ${WINEBOOT} --init RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wineboot --init failed (${result}) in ${PREFIX}")
endif()
