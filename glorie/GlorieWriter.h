#pragma once
// The glorie POI document of a run of entries. The writer shows nothing: a failure leaves as the
// file layer's CFileException, and the caller decides how to tell the user.
#include <cstddef>

#include "glorie/PoiEntry.h"
#include "platform/CSaveFile.h"

namespace glorie {

// The header, one block an entry of entries[0..count), the closing lines, into a file open for writing.
void WriteDocument(CSaveFile& file, const PoiEntry* entries, int count);
// length bytes of text, as they are.
void WriteText(CSaveFile& file, const char* text, std::size_t length);

}  // namespace glorie
