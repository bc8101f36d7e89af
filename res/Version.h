// The program's versions, in one place. The about box has always said "Version 1.100", and keeps
// saying it; the file version is what the packages, the Windows version resource and --version
// give, and CMake's project() reads it from here. Preprocessor definitions only, for the resource
// compiler too.
#ifndef QUORVEL_RES_VERSION_H
#define QUORVEL_RES_VERSION_H

#define QV_TEXT_ABOUT_VERSION "Quorvel Version 1.100"
#define QV_FILE_VERSION_TEXT "1.0.0.1"
#define QV_FILE_VERSION 1, 0, 0, 1

#endif
