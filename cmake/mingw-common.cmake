# Shared part of the two mingw-w64 toolchain files; VORN_TRIPLET is set first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VORN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORN_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORN_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test executables run under Wine with a throwaway prefix (see tools/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
