// Emulation prevention: an encoder inserts 0x03 after every two zero bytes
// that would otherwise be followed by a byte of 0x00 to 0x03, so that no
// start code appears inside a NAL unit. The parsers read the payload with
// those bytes removed; the stored NAL unit keeps them, as the decoder gets it.
#pragma once

#include <windows.h>

#include <memory>

// Copies size bytes of a NAL unit payload (behind the header byte) from src to
// dst without the emulation-prevention bytes and returns the count written
// (at most size). dst must have room for size bytes.
DWORD MyRemoveEmulationPrevention(const BYTE *src, DWORD size, BYTE *dst);

// The payload of one NAL unit, header byte skipped and emulation-prevention
// bytes removed, held for the time of one parse.
class CMyRbsp {
public:
    // nalSize counts the header byte; a unit of 0 or 1 byte has no payload.
    CMyRbsp(const BYTE *pNal, DWORD nalSize);

    const BYTE *Data() const { return m_pData.get(); }
    DWORD Size() const { return m_size; }

private:
    std::unique_ptr<BYTE[]> m_pData;
    DWORD m_size = 0;
};
