#pragma once
// Host services outside files.
#include <string>

#include "platform/CString.h"

// The current drive's current directory, as _getdcwd gives it; empty when it cannot be had.
CString GetCurrentFolder();

// From now on an interrupt, a termination or a hang-up first removes the temporary files of
// documents being written, then ends the program as the signal would have.
void RemoveTempFilesOnSignals();

// One spelling of the file a name stands for: its folder resolved (links, "." and "..") and
// its own name, so that two names of one file compare equal. The name itself when the folder
// cannot be resolved.
CString FileIdentity(const CString& strPath);

// True when the name stands for an existing file that is not a folder (links followed).
bool IsRegularFile(const CString& strPath);

// A shared library loaded for the rest of the run, so that a dependency only some runs use is
// loaded when first needed; nullptr, with the loader's reason in error, when it cannot be.
// POSIX builds only.
void* LoadSharedLibrary(const char* name, std::string& error);
void* SharedLibrarySymbol(void* library, const char* symbol, std::string& error);
