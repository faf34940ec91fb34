# What both MinGW-w64 toolchain files share; they set CMAKE_SYSTEM_PROCESSOR
# and TOOL_PREFIX first. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model gives the C++ library its full threading support, and
# both builds share one runtime flavour.
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
