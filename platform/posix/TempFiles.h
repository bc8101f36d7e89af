#pragma once
// The temporary files of documents being written, known to the signal handlers so that an
// interrupted program leaves none behind.
// Registered names must stay valid (unchanged) until they are forgotten.
void RegisterTempFile(const char* path);
void ForgetTempFile(const char* path);
