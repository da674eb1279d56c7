# Cross-building the Windows programs on Debian with mingw-w64 (packages g++-mingw-w64-x86-64-posix
# and mingw-w64-x86-64-dev). The posix thread model is the one whose libstdc++ has std::thread and
# std::mutex; its compiler is x86_64-w64-mingw32-g++-posix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRASSLANE_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(BRASSLANE_MINGW_CXX NAMES ${BRASSLANE_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(BRASSLANE_MINGW_CC NAMES ${BRASSLANE_MINGW_TRIPLE}-gcc-posix REQUIRED)
set(CMAKE_CXX_COMPILER "${BRASSLANE_MINGW_CXX}")
set(CMAKE_C_COMPILER "${BRASSLANE_MINGW_CC}") # GoogleTest's project enables C
set(CMAKE_RC_COMPILER ${BRASSLANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRASSLANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C++ runtime and the threads library inside, so that they start on a
# plain Windows (and under wine) without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The header-only libraries (nlohmann-json, CLI11) are taken from the build host's packages;
# only their folders are put on the include path, never the host's /usr/include itself.
set(BRASSLANE_HOST_HEADERS ON CACHE BOOL "Take header-only libraries from the build host")
# GoogleTest is built from its source package along with the tests.
set(BRASSLANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build with the tests")

# CTest runs the test programs through wine when it is installed (scripts/windows-cross.sh).
find_program(BRASSLANE_WINE NAMES wine wine64)
if(BRASSLANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${BRASSLANE_WINE}")
endif()
