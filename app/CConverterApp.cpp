#include "app/CConverterApp.h"

#include "platform/PathSplit.h"

namespace {
// One application a process, as the framework has it: the last one made names it.
CString g_strAppName;
}  // namespace

CConverterApp::CConverterApp(const CString& strProgramPath) { g_strAppName = SplitPath(strProgramPath).fname; }

const CString& CConverterApp::GetAppName() const { return g_strAppName; }

const CString& AfxGetAppName() { return g_strAppName; }

int AfxMessageBox(IMainDlgUi& ui, const CString& text, unsigned style) {
    if ((style & kMbIconMask) == 0) style |= kMbIconExclamation;
    return ui.MessageBox(text, g_strAppName, style);
}

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
