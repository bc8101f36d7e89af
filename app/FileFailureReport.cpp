#include "app/FileFailureReport.h"

#include "glorie/FileErrorText.h"
#include "platform/MessageBox.h"

void ReportFileFailure(const CFileException& error) { AfxMessageBox(CommandFailureText(error), kMbOk | kMbIconStop); }
