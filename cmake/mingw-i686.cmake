# Cross build for 32-bit Windows with MinGW-w64 (posix threads).
set(quorvel_mingw_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Doubles are computed in SSE2 registers, as on x86-64: the x87 unit's extended precision would
# round the coordinate product twice and change some fifth decimals.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
