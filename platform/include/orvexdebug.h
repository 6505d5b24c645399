// Linux-only addition to the debugger output of winbase.h: a process attaches
// one listener that receives every debugger-output line whole, as UTF-8.
#pragma once

extern "C" {
typedef void (*OrvexDebugListener)(const char *line, void *context);

// Attaches listener (null detaches). Returns once no call to the previous
// listener is still running, so a detached listener's context may be freed.
void OrvexSetDebugListener(OrvexDebugListener listener, void *context);

// A ready-made listener that writes each line to standard error.
void OrvexDebugListenerStderr(const char *line, void *context);
}
