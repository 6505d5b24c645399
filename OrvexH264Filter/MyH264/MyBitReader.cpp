#include "MyH264/MyBitReader.h"

#include "MyH264/MyH264Refusals.h"

CMyBitReader::CMyBitReader(const BYTE *pData, DWORD length)
    : m_pStart(pData), m_length(pData ? length : 0), m_offset(0), m_bitPos(0), m_current(m_length > 0 ? pData[0] : 0)
{
}

DWORD CMyBitReader::ReadBit()
{
    if (m_offset >= m_length) throw MyH264Refusal::kOutOfData;
    const DWORD bit = m_current >> 7;
    m_current = static_cast<BYTE>(m_current << 1);
    if (++m_bitPos == 8) {
        m_bitPos = 0;
        ++m_offset;
        // The next byte is loaded only if there is one.
        m_current = m_offset < m_length ? m_pStart[m_offset] : 0;
    }
    return bit;
}

DWORD CMyBitReader::ReadBits(DWORD n)
{
    if (n > 32) throw MyH264Refusal::kBitCount;
    if (n > BitsLeft()) throw MyH264Refusal::kOutOfData;
    DWORD value = 0;
    for (DWORD i = 0; i < n; ++i)
        value = (value << 1) | ReadBit();
    return value;
}

DWORD CMyBitReader::ReadUE()
{
    DWORD zeros = 0;
    while (ReadBit() == 0) {
        if (++zeros > 31) throw MyH264Refusal::kExpGolombTooLong;
    }
    // zeros <= 31, so the sum stays at or below 2^32 - 2.
    return ((DWORD{1} << zeros) - 1) + ReadBits(zeros);
}

LONG CMyBitReader::ReadSE()
{
    const ULONGLONG k = ReadUE();
    // k = 1, 2, 3, 4 ... maps to 1, -1, 2, -2 ...; |value| <= 2^31 - 1.
    const LONGLONG magnitude = static_cast<LONGLONG>((k + 1) / 2);
    return static_cast<LONG>((k & 1) ? magnitude : -magnitude);
}

DWORD CMyBitReader::BitsLeft() const
{
    if (m_offset >= m_length) return 0;
    const ULONGLONG bits = ULONGLONG{m_length - m_offset} * 8 - m_bitPos;
    return bits > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(bits);
}
