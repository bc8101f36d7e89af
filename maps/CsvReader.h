#pragma once
// CSV (RFC 4180) or tab-separated text with a header naming the latitude and longitude columns.
#include <string>

#include "maps/PlaceCollector.h"

// Throws MapError naming the file and the line for text without those columns, an unclosed
// quote or bytes that are not UTF-8.
void ReadCsv(const std::string& bytes, PlaceCollector& places);
