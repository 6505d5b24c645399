// Debugger output. Lines go whole to the attached listener, one at a time (the
// lock serializes them as the system's debug-output mutex does on Windows);
// without a listener they go to the system log at debug level.
#include <orvexdebug.h>
#include <windows.h>

#include "text.h"

#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace {
std::mutex &outputLock()
{
    static auto *m = new std::mutex();
    return *m;
}
OrvexDebugListener g_listener = nullptr;
void *g_context = nullptr;
} // namespace

extern "C" void OrvexSetDebugListener(OrvexDebugListener listener, void *context)
{
    std::lock_guard<std::mutex> guard(outputLock());
    g_listener = listener;
    g_context = context;
}

extern "C" void OrvexDebugListenerStderr(const char *line, void *)
{
    std::fputs(line, stderr);
    std::fflush(stderr);
}

extern "C" void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    if (!lpOutputString) return;
    std::lock_guard<std::mutex> guard(outputLock());
    if (g_listener) {
        g_listener(lpOutputString, g_context);
    } else {
        syslog(LOG_USER | LOG_DEBUG, "%s", lpOutputString);
    }
}

extern "C" void WINAPI OutputDebugStringW(LPCWSTR lpOutputString)
{
    if (!lpOutputString) return;
    std::string line = orvex::win32::toUtf8(lpOutputString);
    OutputDebugStringA(line.c_str());
}
