// Records of the output side: the commands that travel in order with the
// pictures (end of stream, new segment) and the two picture records the
// decoder's writer fills, one per output format family. A picture record
// is made at the size the decoder writes and already holds its planes in the order of
// its target format, so frame output copies rows and nothing else.
#pragma once

#include "H264DecodeFilter/MyPixelBufferPool.h"
#include "H264DecodeFilter/MySampleTimeInfo.h"
#include "MyQuickTimeAPIs/SimpleBuffer.h"

#include <streams.h>

#include <memory>

class CMyOutputData {
public:
    static constexpr LONG kPicture = 0;
    static constexpr LONG kEndOfStream = -1;
    static constexpr LONG kNewSegment = -2;
    // The format of a command: it names no decoder output format.
    static constexpr LONG kCommandFormat = 8;

    static std::unique_ptr<CMyOutputData> NewEndOfStream();
    static std::unique_ptr<CMyOutputData> NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // Gives the pixel buffer back to the pool it came from, if any.
    virtual ~CMyOutputData();
    CMyOutputData(const CMyOutputData &) = delete;
    CMyOutputData &operator=(const CMyOutputData &) = delete;

    // The three values of a new-segment command; false (and nothing written)
    // for any other record.
    bool GetNewSegment(REFERENCE_TIME *pStart, REFERENCE_TIME *pStop, double *pRate) const;

    LONG GetKind() const { return m_kind; }
    DWORD GetWidth() const { return m_width; }
    DWORD GetHeight() const { return m_height; }
    // A decoder output format id for pictures, kCommandFormat for commands.
    LONG GetFormat() const { return m_format; }
    const CSimpleBuffer &GetPixels() const { return m_pixels; }
    // A picture's times: those of the sample it was decoded from (none when
    // that is not known).
    const CSampleTimeInfo &GetTimeInfo() const { return m_time; }
    void SetTimeInfo(const CSampleTimeInfo &time) { m_time = time; }

protected:
    // A command of the given kind.
    explicit CMyOutputData(LONG kind);
    // A picture with a pixel buffer of pixelBytes bytes, from pPool when
    // given (then possibly holding an earlier picture), else zero-filled.
    CMyOutputData(DWORD width, DWORD height, LONG format, DWORD pixelBytes, std::shared_ptr<CMyPixelBufferPool> pPool);

    // Copies up to n bytes from pSource to the cursor, never past end, and
    // moves the cursor on by what was copied.
    static void CopyBounded(BYTE *&pCursor, BYTE *pEnd, const BYTE *pSource, DWORD n);
    // Zeroes [pCursor, pEnd) when the buffer was reused.
    void ClearFrom(BYTE *pCursor, BYTE *pEnd) const;

    LONG m_kind;
    CSimpleBuffer m_pixels;
    DWORD m_width = 0;
    DWORD m_height = 0;
    LONG m_format = kCommandFormat;
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_segmentStop = 0;
    double m_rate = 0.0;
    CSampleTimeInfo m_time;
    std::shared_ptr<CMyPixelBufferPool> m_pPool;
    bool m_reused = false; // the buffer holds an earlier picture's bytes
};

// Packed RGB: 4 bytes per pixel for format 5, 3 for every other format; rows
// of the picture back to back.
class CMyRGBBuffer : public CMyOutputData {
public:
    // Throws std::bad_alloc. A picture too large for a 32-bit size gets an
    // empty buffer (every write dropped). With a pool the buffer may be one
    // that held an earlier picture.
    CMyRGBBuffer(DWORD width, DWORD height, LONG format, std::shared_ptr<CMyPixelBufferPool> pPool = nullptr);

    // Appends n bytes; what would pass the end of the buffer is dropped.
    void Write(const BYTE *pSource, DWORD n);
    // Zeroes what the writes did not reach, so that a reused buffer shows
    // nothing of an earlier picture.
    void ClearUnwritten();

    BYTE *GetData() { return m_pixels.GetData(); }
    DWORD GetBytesWritten() const { return static_cast<DWORD>(m_pCursor - m_pixels.GetData()); }

private:
    BYTE *m_pCursor;
};

// Planar 4:2:0: a Y plane of width x height bytes and two chroma planes of
// half the width by half the height, rounded up (an odd size keeps its last
// chroma column and row), in one buffer: Y, U, V for format 0
// (I420) and Y, V, U for any other format (YV12).
class CMyYUVBuffer : public CMyOutputData {
public:
    // Throws std::bad_alloc. A picture too large for a 32-bit size gets an
    // empty buffer (every write dropped). With a pool the buffer may be one
    // that held an earlier picture.
    CMyYUVBuffer(DWORD width, DWORD height, LONG format, std::shared_ptr<CMyPixelBufferPool> pPool = nullptr);

    // Each appends n bytes to its plane; what would pass the plane's end is dropped.
    void WriteY(const BYTE *pSource, DWORD n) { CopyBounded(m_pYCursor, m_pY + m_ySize, pSource, n); }
    void WriteU(const BYTE *pSource, DWORD n) { CopyBounded(m_pUCursor, m_pU + m_uSize, pSource, n); }
    void WriteV(const BYTE *pSource, DWORD n) { CopyBounded(m_pVCursor, m_pV + m_vSize, pSource, n); }
    // Zeroes what the writes did not reach in each plane, so that a reused
    // buffer shows nothing of an earlier picture.
    void ClearUnwritten();

    BYTE *GetY() const { return m_pY; }
    DWORD GetYSize() const { return m_ySize; }
    BYTE *GetU() const { return m_pU; }
    DWORD GetUSize() const { return m_uSize; }
    BYTE *GetV() const { return m_pV; }
    DWORD GetVSize() const { return m_vSize; }

    DWORD GetYWritten() const { return static_cast<DWORD>(m_pYCursor - m_pY); }
    DWORD GetUWritten() const { return static_cast<DWORD>(m_pUCursor - m_pU); }
    DWORD GetVWritten() const { return static_cast<DWORD>(m_pVCursor - m_pV); }

private:
    BYTE *m_pY = nullptr;
    DWORD m_ySize = 0;
    BYTE *m_pU = nullptr;
    DWORD m_uSize = 0;
    BYTE *m_pV = nullptr;
    DWORD m_vSize = 0;
    BYTE *m_pYCursor = nullptr;
    BYTE *m_pUCursor = nullptr;
    BYTE *m_pVCursor = nullptr;
};
