#pragma once
// Pieces the map formats' writers share (documents in UTF-8, coordinates in WGS 84).
#include <cstddef>
#include <string>
#include <string_view>

#include "places/Format.h"
#include "places/Place.h"

class ByteSink;

// What each method stands for, once in a document's description.
std::string MethodSummary(const PlaceSource& places);
// 7 decimals; throws MapError for a value that is not a number.
std::string CoordinateText(double value);
void AppendCoordinate(std::string& out, double value);
// XML 1.0 text: markup escaped; control characters it does not allow become U+FFFD.
std::string XmlText(const std::string& text);
void AppendXmlText(std::string& out, std::string_view text);
// The whole document into the sink.
void WriteDocumentBytes(ByteSink& sink, const std::string& document);
// A part of a document into the sink once it holds 1 MB (or when last), then cleared: a large
// document is never whole in memory (the sink takes a document's bytes as they come).
void WritePart(ByteSink& sink, std::string& part, bool last = false);
// The size at which WritePart writes.
constexpr std::size_t kDocumentPartBytes = 1024 * 1024;
