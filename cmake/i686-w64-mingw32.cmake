set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORN_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# SSE2 maths so i386 gives the numbers x86-64 gives (x87 keeps 80-bit
# intermediates); hosts may call in on 4-byte-aligned stacks.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
