#include "platform/win32/TempFiles.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/HostSystem.h"
#include "platform/win32/Win32Calls.h"

namespace {
// The handler runs on a thread of its own while the program goes on writing.
std::mutex g_lock;
std::vector<std::wstring> g_paths;

BOOL WINAPI OnControl(DWORD /*event*/) {
    RemoveTempFiles();
    return FALSE;  // then the default handler ends the program
}
}  // namespace

void RegisterTempFile(const std::wstring& path) {
    const std::lock_guard<std::mutex> hold(g_lock);
    g_paths.push_back(path);
}

void ForgetTempFile(const std::wstring& path) {
    const std::lock_guard<std::mutex> hold(g_lock);
    const auto found = std::find(g_paths.begin(), g_paths.end(), path);
    if (found != g_paths.end()) g_paths.erase(found);
}

void RemoveTempFiles() {
    const std::lock_guard<std::mutex> hold(g_lock);
    for (const std::wstring& path : g_paths) Win32Calls::DeleteInHandler(path.c_str());
    g_paths.clear();
}

void RemoveTempFilesOnSignals() { Win32Calls::Current().SetConsoleCtrlHandler(OnControl, TRUE); }
