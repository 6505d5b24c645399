#include "MyQuickTimeAPIs/MyQTStuffs.h"

#include <cstdio>

bool FourCCToText(DWORD code, char *buffer, size_t capacity)
{
    bool printable = true;
    for (int shift = 24; shift >= 0; shift -= 8) {
        // Compared as a signed character: bytes of 0x80 and above do not qualify.
        auto c = static_cast<signed char>(code >> shift);
        if (c < 0x20) printable = false; // a signed char never exceeds 0x7F
    }
    if (printable) {
        if (capacity < 7) return false;
        buffer[0] = '\'';
        for (int i = 0; i < 4; ++i)
            buffer[1 + i] = static_cast<char>(code >> (24 - 8 * i));
        buffer[5] = '\'';
        buffer[6] = '\0';
        return true;
    }
    if (capacity < 11 || capacity > 0x7FFFFFFF) return false;
    int written = std::snprintf(buffer, capacity, "0x%08X", unsigned(code));
    return written > 0 && size_t(written) < capacity;
}
