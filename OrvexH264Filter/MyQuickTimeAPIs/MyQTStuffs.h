// Small helpers of the reading layer.
#pragma once

#include <windows.h>

#include <cstddef>

// Formats a four-character code for traces: 'avc1' between single quotes when
// all four bytes are printable (0x20 to 0x7F), else "0x%08X". Returns false,
// writing nothing, if the buffer is too small (7 and 11 characters with the
// terminator).
bool FourCCToText(DWORD code, char *buffer, size_t capacity);
