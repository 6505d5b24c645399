// Pixel buffers of pictures that have been delivered, kept for the next
// pictures of the same size. A picture record takes its buffer from here and
// gives it back when it is deleted, so steady streaming neither allocates
// nor faults in fresh pages for every picture. Shared by the producer (the
// decoder's writer) and whoever deletes the records (the output thread), so
// it is guarded by its own leaf lock.
#pragma once

#include "MyQuickTimeAPIs/SimpleBuffer.h"

#include <streams.h>

#include <vector>

class CMyPixelBufferPool {
public:
    // Enough for a picture being written, one being delivered and a few in
    // between; more only while the output queue is backed up.
    static constexpr DWORD kDefaultKept = 4;

    explicit CMyPixelBufferPool(DWORD maxKept = kDefaultKept);
    CMyPixelBufferPool(const CMyPixelBufferPool &) = delete;
    CMyPixelBufferPool &operator=(const CMyPixelBufferPool &) = delete;

    // A buffer of exactly size bytes: a kept one when there is one of that
    // size (holding an earlier picture's bytes; *pReused true), else a new
    // zero-filled one. Throws std::bad_alloc.
    CSimpleBuffer Take(DWORD size, bool *pReused);
    // Keeps the buffer unless maxKept are kept already. Buffers of another
    // size than the one given are dropped: the picture size has changed.
    void Give(CSimpleBuffer buffer);

    DWORD GetKeptCount();

private:
    CCritSec m_Lock;
    std::vector<CSimpleBuffer> m_kept;
    const DWORD m_maxKept;
};
