#pragma once
// The temporary files of documents being written, known to the console's control handler so that
// a program stopped with Ctrl+C, Ctrl+Break or a closed console window leaves none behind.
#include <string>

void RegisterTempFile(const std::wstring& path);
void ForgetTempFile(const std::wstring& path);
// Deletes every registered file (an open one goes when its last handle closes). What the control
// handler does before the program ends.
void RemoveTempFiles();
