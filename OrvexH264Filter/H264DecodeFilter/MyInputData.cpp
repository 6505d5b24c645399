#include "H264DecodeFilter/MyInputData.h"

namespace {

constexpr DWORD kLengthFieldSize = 4;

DWORD ReadBigEndian32(const BYTE *p)
{
    return (DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | DWORD{p[3]};
}

} // namespace

CMyInputData::CMyInputData(IMediaSample *pSample) : m_pSample(pSample)
{
    const BYTE *pBuffer = Buffer();
    const LONG actual = m_pSample->GetActualDataLength();
    const LONG size = m_pSample->GetSize();
    // Never trust the data length beyond the buffer it describes.
    const LONG usable = actual < size ? actual : size;
    if (!pBuffer || usable <= 0) return;

    DWORD offset = 0;
    DWORD remaining = static_cast<DWORD>(usable);
    while (remaining >= kLengthFieldSize) {
        const DWORD length = ReadBigEndian32(pBuffer + offset);
        // Compared without forming length + 4, which could wrap.
        if (length > remaining - kLengthFieldSize) break;
        m_NALOffsets.push_back(offset);
        offset += kLengthFieldSize + length;
        remaining -= kLengthFieldSize + length;
    }
}

CMyInputData::~CMyInputData() = default;

const BYTE *CMyInputData::Buffer() const
{
    BYTE *pBuffer = nullptr;
    if (FAILED(m_pSample->GetPointer(&pBuffer))) return nullptr;
    return pBuffer;
}

const BYTE *CMyInputData::GetNALPointer(DWORD i) const
{
    if (i >= GetNALCount()) return nullptr;
    const BYTE *pBuffer = Buffer();
    return pBuffer ? pBuffer + m_NALOffsets[i] + kLengthFieldSize : nullptr;
}

DWORD CMyInputData::GetNALSize(DWORD i) const
{
    if (i >= GetNALCount()) return 0;
    const BYTE *pBuffer = Buffer();
    return pBuffer ? ReadBigEndian32(pBuffer + m_NALOffsets[i]) : 0;
}
