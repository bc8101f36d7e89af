// What the C library of Debian's emscripten declares but does not define, for the core's POSIX
// layer over MEMFS.
#include <fcntl.h>

#include <cerrno>

// MEMFS has no blocks to reserve: the layer takes EOPNOTSUPP as "nothing to do", as on a file
// system without fallocate.
extern "C" int fallocate(int, int, off_t, off_t) {
    errno = EOPNOTSUPP;
    return -1;
}
