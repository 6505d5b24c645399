// One entry of a stream's sample index, and the conversion of media time to
// reference time (100-ns units) that every index builder uses.
#pragma once

#include <windows.h>

#include <limits>

struct MediaSampleRef {
    LONGLONG start;    // reference time, counted from media time 0
    LONGLONG stop;     // reference time
    DWORD size;        // bytes to read
    ULONGLONG offset;  // file position of the first byte
    DWORD sync;        // 1 if playback may start here
    DWORD sampleCount; // media samples covered: 1 for video, sound frames for sound
};

constexpr LONGLONG kReferenceTimeUnitsPerSecond = 10000000;

// 10,000,000 × time ÷ timeScale, truncating. The product is formed in 128
// bits: times built from hostile tables can exceed what 64 bits can hold
// after the multiplication, and such a result saturates instead of wrapping.
inline LONGLONG MediaTimeToReferenceTime(LONGLONG time, LONG timeScale)
{
    __int128 value = static_cast<__int128>(time) * kReferenceTimeUnitsPerSecond / timeScale;
    if (value > std::numeric_limits<LONGLONG>::max()) return std::numeric_limits<LONGLONG>::max();
    if (value < std::numeric_limits<LONGLONG>::min()) return std::numeric_limits<LONGLONG>::min();
    return static_cast<LONGLONG>(value);
}
