# 32-bit Windows programs with MinGW-w64 (the end users' launcher); test
# programs run under Wine, whose 64-bit prefixes run them through WOW64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOL_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
