#pragma once
// How the dialogs tell what the core returned about files: the core's texts, shown in the
// application's boxes through the dialog's window (the core itself shows nothing).
#include "app/IMainDlgUi.h"
#include "platform/CFileException.h"
#include "platform/CString.h"

// A file failure that ends a command: the text by cause, with the stop icon.
void ReportFileFailure(IMainDlgUi& ui, const CFileException& error);
// The store's reason for not reading an input (StoreLoadResult::message); nothing when it is empty.
void ReportStoreMessage(IMainDlgUi& ui, const CString& message);
// An output that could not be opened, named as the user gave it.
void ReportOutputOpenFailure(IMainDlgUi& ui, const CFileException& error, const CString& strFileName);
