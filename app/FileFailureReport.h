#pragma once
// How the dialogs tell a file failure that ends a command: the text by cause, in the application's
// box with the stop icon. The text is glorie/FileErrorText's; showing it is the dialog's.
#include "platform/CFileException.h"

void ReportFileFailure(const CFileException& error);
