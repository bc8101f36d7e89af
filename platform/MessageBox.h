#pragma once
// Message boxes: every front end provides one host; the core only asks it.
#include "platform/CString.h"

// Style bits, with the values the Windows message box uses.
constexpr unsigned kMbOk = 0x00000000u;
constexpr unsigned kMbIconStop = 0x00000010u;
constexpr unsigned kMbIconExclamation = 0x00000030u;
constexpr unsigned kMbIconMask = 0x000000F0u;
constexpr int kIdOk = 1;

class IMessageBoxHost {
public:
    virtual ~IMessageBoxHost() = default;
    // Modal box with UTF-8 text and caption; returns the id of the button pressed.
    virtual int ShowMessageBox(const CString& text, const CString& caption, unsigned style) = 0;
};

// Installs the front end's host; returns the one it replaces. Without a host, boxes go to stderr.
IMessageBoxHost* SetMessageBoxHost(IMessageBoxHost* host);
IMessageBoxHost& GetMessageBoxHost();

// The application's name: the program file's base name without extension.
void AfxSetAppName(const CString& strProgramPath);
const CString& AfxGetAppName();

// The framework's application box: caption is the application's name; the exclamation icon
// when the style names no icon.
int AfxMessageBox(const CString& text, unsigned style = kMbOk);
