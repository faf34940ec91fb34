# 32-bit Windows programs with MinGW-w64 (the end users' launcher); test
# programs run under Wine, whose 64-bit prefixes run them through WOW64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOL_PREFIX i686-w64-mingw32)

# The POSIX thread model, as for the 64-bit programs, so both builds share one
# runtime flavour.
find_program(CMAKE_C_COMPILER NAMES ${TOOL_PREFIX}-gcc-posix ${TOOL_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOL_PREFIX}-g++-posix ${TOOL_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOOL_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOL_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(WINE_PROGRAM NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
