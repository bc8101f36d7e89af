#include "app/CConverterApp.h"

#include "platform/MessageBox.h"

CConverterApp::CConverterApp(const CString& strProgramPath) { AfxSetAppName(strProgramPath); }

const CString& CConverterApp::GetAppName() const { return AfxGetAppName(); }

CString CConverterApp::CommandLineFromArguments(int argc, const char* const* argv) {
    CString line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

CString CConverterApp::CommandLineAfterProgram(const CString& strFullCommandLine) {
    const std::string& text = strFullCommandLine.Str();
    size_t pos = 0;
    if (pos < text.size() && text[pos] == '"') {
        ++pos;
        while (pos < text.size() && text[pos] != '"') ++pos;
        if (pos < text.size()) ++pos;
    } else {
        while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t') ++pos;
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    return CString(text.substr(pos));
}
