#pragma once
// Text files as people save them, made UTF-8 before they are parsed: spreadsheets save CP932 or
// UTF-16, XML documents declare Shift_JIS or EUC-JP. Line numbers in messages are those of the
// text as decoded, which is what an editor shows.
#include <string>
#include <vector>

#include "text/Message.h"

// A table (CSV, TSV, TXT): a byte-order mark decides (UTF-8, UTF-16 LE or BE); else text that is
// valid UTF-8 is UTF-8, UTF-16 without a mark is known by its zero bytes, and anything else is
// CP932, or Windows-1252 (with one warning) where it is no CP932 and looks like that. A byte
// sequence that is no character becomes U+FFFD with a warning naming its lines.
// Throws MapError for UTF-16 that is not (an unpaired surrogate), naming the line.
std::string DecodeTableText(std::string bytes, const std::string& fileName, std::vector<Message>& warnings);

// An XML document: a byte-order mark or the first bytes decide UTF-16 and UTF-32; else the
// encoding its declaration names (Shift_JIS, Windows-31J, CP932, EUC-JP, ISO-8859-1); else it must
// be UTF-8. CP932 and EUC-JP sequences that are no character become U+FFFD with a warning.
// Throws MapError for text that is not of its encoding (UTF-8, UTF-16, UTF-32) or an encoding
// this program does not know, naming the line.
std::string DecodeXmlText(std::string bytes, const std::string& fileName, std::vector<Message>& warnings);
