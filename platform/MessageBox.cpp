#include "platform/MessageBox.h"

#include <cstdio>

#include "platform/PathSplit.h"

namespace {
class StderrHost : public IMessageBoxHost {
public:
    int ShowMessageBox(const CString& text, const CString& /*caption*/, unsigned /*style*/) override {
        std::fprintf(stderr, "%s\n", text.GetString());
        return kIdOk;
    }
};

StderrHost g_stderrHost;
IMessageBoxHost* g_host = nullptr;
CString g_appName;
}  // namespace

IMessageBoxHost* SetMessageBoxHost(IMessageBoxHost* host) {
    IMessageBoxHost* previous = g_host;
    g_host = host;
    return previous;
}

IMessageBoxHost& GetMessageBoxHost() { return g_host ? *g_host : g_stderrHost; }

void AfxSetAppName(const CString& strProgramPath) { g_appName = SplitPath(strProgramPath).fname; }

const CString& AfxGetAppName() { return g_appName; }

int AfxMessageBox(const CString& text, unsigned style) {
    if ((style & kMbIconMask) == 0) style |= kMbIconExclamation;
    return GetMessageBoxHost().ShowMessageBox(text, g_appName, style);
}
