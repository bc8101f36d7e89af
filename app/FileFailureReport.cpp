#include "app/FileFailureReport.h"

#include "app/CConverterApp.h"
#include "glorie/FileErrorText.h"

void ReportFileFailure(IMainDlgUi& ui, const CFileException& error) {
    AfxMessageBox(ui, CommandFailureText(error), kMbOk | kMbIconStop);
}

void ReportStoreMessage(IMainDlgUi& ui, const CString& message) {
    if (!message.IsEmpty()) AfxMessageBox(ui, message, kMbOk);
}

void ReportOutputOpenFailure(IMainDlgUi& ui, const CFileException& error, const CString& strFileName) {
    AfxMessageBox(ui, OpenFailureMessage(error, strFileName), kMbOk);
}
