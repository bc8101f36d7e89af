#pragma once
// Writing a whole document over an existing file whose name must stay the same inode.
#include <time.h>

#include <cstddef>
#include <string>

// Reserves the whole new size first, so that a full disk is found before a byte of the file
// changes; then writes from the start, cuts what is left of the old text and syncs.
// Returns 0, or the error number of the step that failed (the file is unchanged when that was
// the open or the reservation). With mtime, a link at path is not followed and the file gets
// that time, so that a set's record can name the file before it is written.
int WriteInPlace(const std::string& path, const char* data, std::size_t size, const struct timespec* mtime = nullptr);

// Reserves size bytes for the file without changing its length or text: 0 or the error number
// (0 also where the file system cannot reserve: its writes are then the check).
int ReserveInPlace(const std::string& path, std::size_t size);
