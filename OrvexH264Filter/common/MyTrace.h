// The module's one trace function: "%u [%u] : %s" (tick count, thread
// identifier, message) on the debugger output. Callers end their messages
// with a blank and a newline. A message longer than 255 characters writes
// nothing. No allocation, no lock: safe on streaming paths.
#pragma once

void MyTrace(const char *format, ...) __attribute__((format(printf, 1, 2)));
