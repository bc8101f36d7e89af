# What the MinGW-w64 cross builds share (posix threads, static); the including toolchain file
# sets quorvel_mingw_arch first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${quorvel_mingw_arch})
set(CMAKE_C_COMPILER ${quorvel_mingw_arch}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${quorvel_mingw_arch}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${quorvel_mingw_arch}-w64-mingw32-windres)
# Debian's MinGW libraries, then those scripts/mingw-deps.sh builds from Debian's source packages.
set(CMAKE_FIND_ROOT_PATH /usr/${quorvel_mingw_arch}-w64-mingw32
    ${CMAKE_CURRENT_LIST_DIR}/../build/mingw-deps/${quorvel_mingw_arch}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
