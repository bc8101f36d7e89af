#pragma once
// The memory-point files the Wine cases convert, built from MemImage.
#include <string>

// Five used points: plain and double-byte names, a reading, digit strings, record 5 free.
std::string WineConvertInput();
