#pragma once
// Start-up rules that every front end shares: the application's name and its command line.
#include "app/IMainDlgUi.h"
#include "platform/CString.h"

class CConverterApp {
public:
    // Names the application after the program file (the caption of the application's boxes).
    // strProgramPath: the program file as started (argv[0] or the module file name).
    explicit CConverterApp(const CString& strProgramPath);

    // The text after the program's own name, as the Windows command line carries it:
    // arguments joined by one space each (spaces do not separate names later).
    static CString CommandLineFromArguments(int argc, const char* const* argv);
    // From a whole Windows command line: skips the program name (quoted or not) and the
    // blanks after it.
    static CString CommandLineAfterProgram(const CString& strFullCommandLine);

    const CString& GetAppName() const;
};

// The name the application object gave itself: the program file's base name without extension.
const CString& AfxGetAppName();

// The application's box, shown by the dialog's window: captioned with the application's name,
// with the exclamation icon when the style names no icon.
int AfxMessageBox(IMainDlgUi& ui, const CString& text, unsigned style = kMbOk);
