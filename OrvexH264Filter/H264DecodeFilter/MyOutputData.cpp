#include "H264DecodeFilter/MyOutputData.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr LONG kFormatI420 = 0; // planes Y, U, V
constexpr LONG kFormatRGB32 = 5;

// width x height x bytesPerPixel, or 0 when that does not fit in 32 bits.
DWORD PlaneBytes(DWORD width, DWORD height, DWORD bytesPerPixel)
{
    const uint64_t bytes = uint64_t{width} * height * bytesPerPixel;
    return bytes > UINT32_MAX ? 0 : static_cast<DWORD>(bytes);
}

// The three plane sizes, or all 0 when the whole picture does not fit in 32 bits.
struct YUVSizes {
    DWORD y = 0, chroma = 0, total = 0;
};

YUVSizes SizesOf(DWORD width, DWORD height)
{
    const uint64_t y = uint64_t{width} * height;
    // Rounded up: an odd size has a chroma sample for its last column and row.
    const uint64_t chroma = uint64_t{(width + 1) / 2} * ((height + 1) / 2);
    const uint64_t total = y + 2 * chroma;
    if (total > UINT32_MAX) return {};
    return {static_cast<DWORD>(y), static_cast<DWORD>(chroma), static_cast<DWORD>(total)};
}

} // namespace

std::unique_ptr<CMyOutputData> CMyOutputData::NewEndOfStream()
{
    return std::unique_ptr<CMyOutputData>(new CMyOutputData(kEndOfStream));
}

std::unique_ptr<CMyOutputData> CMyOutputData::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    std::unique_ptr<CMyOutputData> pCommand(new CMyOutputData(kNewSegment));
    pCommand->m_segmentStart = start;
    pCommand->m_segmentStop = stop;
    pCommand->m_rate = rate;
    return pCommand;
}

CMyOutputData::CMyOutputData(LONG kind) : m_kind(kind) {}

CMyOutputData::CMyOutputData(DWORD width, DWORD height, LONG format, DWORD pixelBytes,
                             std::shared_ptr<CMyPixelBufferPool> pPool)
    : m_kind(kPicture), m_width(width), m_height(height), m_format(format), m_pPool(std::move(pPool))
{
    m_pixels = m_pPool ? m_pPool->Take(pixelBytes, &m_reused) : CSimpleBuffer(pixelBytes);
}

CMyOutputData::~CMyOutputData()
{
    if (m_pPool) m_pPool->Give(std::move(m_pixels));
}

void CMyOutputData::ClearFrom(BYTE *pCursor, BYTE *pEnd) const
{
    if (m_reused && pCursor && pEnd > pCursor) std::memset(pCursor, 0, static_cast<size_t>(pEnd - pCursor));
}

bool CMyOutputData::GetNewSegment(REFERENCE_TIME *pStart, REFERENCE_TIME *pStop, double *pRate) const
{
    if (m_kind != kNewSegment) return false;
    if (pStart) *pStart = m_segmentStart;
    if (pStop) *pStop = m_segmentStop;
    if (pRate) *pRate = m_rate;
    return true;
}

void CMyOutputData::CopyBounded(BYTE *&pCursor, BYTE *pEnd, const BYTE *pSource, DWORD n)
{
    if (!pCursor || !pSource) return;
    const size_t room = static_cast<size_t>(pEnd - pCursor);
    const size_t count = n < room ? n : room;
    if (count == 0) return;
    std::memcpy(pCursor, pSource, count);
    pCursor += count;
}

CMyRGBBuffer::CMyRGBBuffer(DWORD width, DWORD height, LONG format, std::shared_ptr<CMyPixelBufferPool> pPool)
    : CMyOutputData(width, height, format, PlaneBytes(width, height, format == kFormatRGB32 ? 4 : 3), std::move(pPool)),
      m_pCursor(m_pixels.GetData())
{
}

void CMyRGBBuffer::ClearUnwritten()
{
    ClearFrom(m_pCursor, m_pixels.GetData() + m_pixels.GetSize());
}

void CMyRGBBuffer::Write(const BYTE *pSource, DWORD n)
{
    CopyBounded(m_pCursor, m_pixels.GetData() + m_pixels.GetSize(), pSource, n);
}

CMyYUVBuffer::CMyYUVBuffer(DWORD width, DWORD height, LONG format, std::shared_ptr<CMyPixelBufferPool> pPool)
    : CMyOutputData(width, height, format, SizesOf(width, height).total, std::move(pPool))
{
    const YUVSizes sizes = SizesOf(width, height);
    BYTE *pBase = m_pixels.GetData();
    if (!pBase) return;
    m_ySize = sizes.y;
    m_uSize = m_vSize = sizes.chroma;
    m_pY = pBase;
    if (format == kFormatI420) {
        m_pU = m_pY + m_ySize;
        m_pV = m_pU + m_uSize;
    } else {
        m_pV = m_pY + m_ySize;
        m_pU = m_pV + m_vSize;
    }
    m_pYCursor = m_pY;
    m_pUCursor = m_pU;
    m_pVCursor = m_pV;
}

void CMyYUVBuffer::ClearUnwritten()
{
    ClearFrom(m_pYCursor, m_pY + m_ySize);
    ClearFrom(m_pUCursor, m_pU + m_uSize);
    ClearFrom(m_pVCursor, m_pV + m_vSize);
}
