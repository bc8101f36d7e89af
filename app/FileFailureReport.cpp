#include "app/FileFailureReport.h"

#include "glorie/FileErrorText.h"
#include "platform/MessageBox.h"

void ReportFileFailure(const CFileException& error) { AfxMessageBox(CommandFailureText(error), kMbOk | kMbIconStop); }

void ReportStoreMessage(const CString& message) {
    if (!message.IsEmpty()) AfxMessageBox(message, kMbOk);
}

void ReportOutputOpenFailure(const CFileException& error, const CString& strFileName) {
    AfxMessageBox(OpenFailureMessage(error, strFileName), kMbOk);
}
