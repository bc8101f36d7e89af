# Cross build for 64-bit Windows with MinGW-w64 (posix threads): the Wine suites' build where the
# kernel runs no 32-bit programs. The shipped program is the 32-bit one (mingw-i686.cmake).
set(quorvel_mingw_arch x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
