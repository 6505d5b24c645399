// A cursor over the bytes of one parameter set, read most significant bit
// first. Every read is checked against the length: running out of bits throws
// MyH264Refusal::kOutOfData, so a short parameter set is refused instead of
// being read past its end.
#pragma once

#include <windows.h>

class CMyBitReader {
public:
    CMyBitReader(const BYTE *pData, DWORD length);

    // One bit, 0 or 1.
    DWORD ReadBit();
    // n bits (0 to 32) as an unsigned value, first bit most significant.
    DWORD ReadBits(DWORD n);
    // Unsigned Exp-Golomb, ue(v). A code of more than 31 leading zero bits
    // cannot hold a 32-bit value and is refused.
    DWORD ReadUE();
    // Signed Exp-Golomb, se(v).
    LONG ReadSE();

    // Bits not read yet (at most 0xFFFFFFFF).
    DWORD BitsLeft() const;

private:
    const BYTE *m_pStart;
    DWORD m_length;
    DWORD m_offset; // index of the current byte
    BYTE m_bitPos;  // bits of the current byte already taken, 0 to 7
    BYTE m_current; // the current byte, taken bits shifted out to the left
};
