#pragma once
// The glorie POI document of a run of entries. The writer shows nothing: a failure leaves as the
// sink's own (a file's CFileException), and the caller decides how to tell the user.
#include <cstddef>

#include "glorie/PoiEntry.h"
#include "text/ByteSink.h"

namespace glorie {

// The header, one block an entry of entries[0..count), the closing lines, into sink.
void WriteDocument(ByteSink& sink, const PoiEntry* entries, int count);
// length bytes of text, as they are.
void WriteText(ByteSink& sink, const char* text, std::size_t length);

}  // namespace glorie
