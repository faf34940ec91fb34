# 64-bit Windows programs with MinGW-w64; test programs run under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
