#pragma once
// The texts for file failures, by cause.
#include "platform/CFileException.h"
#include "platform/CString.h"
#include "text/Message.h"

// Short text shown after the quoted name when a file cannot be opened for writing.
const char* OpenFailureText(int cause);
// The whole message for an output that cannot be opened: the quoted name, then that text.
CString OpenFailureMessage(const CFileException& error, const CString& strFileName);
// A file failure that leaves a command, naming the file (or "無題のﾌｧｲﾙ"), as the message
// table words it; CommandFailureText is its Japanese.
Message CommandFailureMessage(const CFileException& error);
CString CommandFailureText(const CFileException& error);
// The line shown, after the open failure, when another conversion is writing the output set.
CString SetInUseText(const CString& strSetName);
