#include "common/MyTrace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kMessageSize = 256; // 255 characters and the terminator
constexpr int kLineSize = 288;    // the longest line, 281 characters, fits
constexpr int kFormatSize = 512;

// Rewrites the Windows size prefix "I64" of a conversion ("%I64u") as "ll".
// Returns format itself when it has none, or when it does not fit the buffer.
const char *portableFormat(const char *format, char (&out)[kFormatSize])
{
    if (!std::strstr(format, "I64")) return format;
    int o = 0;
    for (const char *p = format; *p;) {
        if (o >= kFormatSize - 3) return format;
        if (*p != '%') {
            out[o++] = *p++;
            continue;
        }
        out[o++] = *p++;
        while (*p && std::strchr("-+ #0123456789.*", *p) && o < kFormatSize - 3)
            out[o++] = *p++;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            out[o++] = 'l';
            out[o++] = 'l';
            p += 3;
        } else if (*p) {
            out[o++] = *p++;
        }
    }
    out[o] = 0;
    return out;
}

} // namespace

void MyTrace(const char *format, ...)
{
    if (!format) return;
    char converted[kFormatSize];
    const char *fmt = portableFormat(format, converted);

    char message[kMessageSize];
    va_list args;
    va_start(args, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = std::vsnprintf(message, sizeof(message), fmt, args);
#pragma GCC diagnostic pop
    va_end(args);
    if (n < 0 || n >= kMessageSize) return; // never a truncated line

    DWORD tick = GetTickCount();
    DWORD thread = GetCurrentThreadId();
    char line[kLineSize];
    // DWORD is unsigned long on Windows and unsigned int here.
    int m = std::snprintf(line, sizeof(line), "%u [%u] : %s", static_cast<unsigned>(tick),
                          static_cast<unsigned>(thread), message);
    if (m < 0 || m >= kLineSize) return;
    OutputDebugStringA(line);
}
