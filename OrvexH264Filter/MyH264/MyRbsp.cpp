#include "MyH264/MyRbsp.h"

DWORD MyRemoveEmulationPrevention(const BYTE *src, DWORD size, BYTE *dst)
{
    DWORD written = 0;
    DWORD zeros = 0;
    for (DWORD i = 0; i < size; ++i) {
        const BYTE b = src[i];
        if (zeros >= 2 && b == 0x03) {
            zeros = 0; // the 0x03 is dropped; counting starts again behind it
            continue;
        }
        dst[written++] = b;
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return written;
}

CMyRbsp::CMyRbsp(const BYTE *pNal, DWORD nalSize)
{
    if (!pNal || nalSize < 2) return;
    const DWORD payload = nalSize - 1;
    m_pData = std::make_unique<BYTE[]>(payload);
    m_size = MyRemoveEmulationPrevention(pNal + 1, payload, m_pData.get());
}
