#pragma once
// Host services outside files.
#include <cstdint>
#include <string>

#include "platform/CString.h"

// The current drive's current directory, as _getdcwd gives it; empty when it cannot be had.
CString GetCurrentFolder();

// From now on an interrupt, a termination or a hang-up first removes the temporary files of
// documents being written, then ends the program as the signal would have.
void RemoveTempFilesOnSignals();

// One spelling of the file a name stands for, so that two names of one file compare equal. POSIX:
// its folder resolved (links, "." and "..") and its own name; the name itself when the folder
// cannot be resolved. Windows: the volume and index of an existing file, else its folder's and
// its name in upper case (the file system ignores case).
CString FileIdentity(const CString& strPath);

// The folder of the running program's file, without a final separator; empty when it cannot be
// had. Data that travels with the program is found from here.
CString ProgramFolder();

// The user's documents folder (Windows: the shell's Documents; POSIX: $XDG_DOCUMENTS_DIR, else
// $HOME/Documents), without a final separator; empty when it cannot be had.
CString DocumentsFolder();

// True when the name stands for an existing file that is not a folder (links followed).
bool IsRegularFile(const CString& strPath);
// True when the name stands for an existing folder (links followed).
bool IsFolder(const CString& strPath);
// Makes the folder (its parent must exist); false with the system's reason in error.
bool MakeFolder(const CString& strPath, std::string& error);
// All of standard input (a pipe or a redirected file) as bytes; false with the reason in error.
bool ReadStandardInput(std::string& bytes, std::string& error);
// A new folder of this process's own in the system's temporary folder, for a document on its way
// to standard output; empty with the reason in error when it cannot be made.
CString MakeTemporaryFolder(std::string& error);
// The environment's variable, UTF-8 (Windows: as the wide API has it); empty when it is not set.
CString EnvironmentText(const char* name);
// A steady clock's reading in microseconds, for measuring spans; -1 when it cannot be read.
std::int64_t MonotonicMicroseconds();
// The user's own folder for the program's bookkeeping (what an output set needs to know of its
// earlier commits), without a final separator: POSIX $XDG_STATE_HOME/quorvel, else
// ~/.local/state/quorvel; Windows %LOCALAPPDATA%\\Quorvel. Empty when neither variable gives a
// full path. Nothing is made here.
CString UserStateFolder();
// Removes a file, or an empty folder; false when it could not be, with the system's reason in
// *pError when given.
bool RemovePath(const CString& strPath, bool bFolder, std::string* pError = nullptr);

// A shared library loaded for the rest of the run, so that a dependency only some runs use is
// loaded when first needed; nullptr, with the loader's reason in error, when it cannot be.
// POSIX builds only.
void* LoadSharedLibrary(const char* name, std::string& error);
void* SharedLibrarySymbol(void* library, const char* symbol, std::string& error);
