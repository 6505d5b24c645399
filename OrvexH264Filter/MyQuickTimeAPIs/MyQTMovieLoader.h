// Finding the movie atom and the media data atom at the top level of a file.
// Only 'moov' and 'mdat' are looked for; every other top-level atom is skipped
// by its size; the first of each counts. A top-level size below 8 (0 and 1
// included: 64-bit and to-the-end sizes are not served) or an atom running
// past the end of the file ends the scan with "Not MOV File format \n" on the
// debugger output.
#pragma once

#include <windows.h>

#include <memory>

class CMyQTMovie;

// Loads the whole 'moov' atom and builds the movie over it. Throws
// CMyQTException kMoovNotFound (and the file codes 4, 5, 7).
std::unique_ptr<CMyQTMovie> LoadMovieAtom(LPCWSTR path);

// Stores the file offset of the 'mdat' header and its 32-bit size field.
// Throws CMyQTException kMdatNotFound (and the file codes 4, 5, 7).
void FindMdatAtom(LPCWSTR path, ULONGLONG *offset, ULONGLONG *size);

// File offset of the last byte of the media data: offset + size - 1, in 64 bits.
inline ULONGLONG GetLastMediaByte(ULONGLONG mdatOffset, ULONGLONG mdatSize)
{
    return mdatOffset + mdatSize - 1;
}
