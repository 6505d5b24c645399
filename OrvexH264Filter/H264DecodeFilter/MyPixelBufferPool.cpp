#include "H264DecodeFilter/MyPixelBufferPool.h"

CMyPixelBufferPool::CMyPixelBufferPool(DWORD maxKept) : m_maxKept(maxKept)
{
    // Reserved once, so that Give never allocates under the lock.
    m_kept.reserve(maxKept);
}

CSimpleBuffer CMyPixelBufferPool::Take(DWORD size, bool *pReused)
{
    {
        CAutoLock lock(&m_Lock);
        // The one given back last: its bytes are the likeliest still in the
        // cache. All kept buffers have one size.
        if (!m_kept.empty() && m_kept.back().GetSize() == size) {
            CSimpleBuffer buffer = std::move(m_kept.back());
            m_kept.pop_back();
            if (pReused) *pReused = true;
            return buffer;
        }
    }
    if (pReused) *pReused = false;
    return CSimpleBuffer(size);
}

void CMyPixelBufferPool::Give(CSimpleBuffer buffer)
{
    if (buffer.GetSize() == 0) return;
    // Whatever is not kept is freed after the lock is left.
    std::vector<CSimpleBuffer> dropped;
    CAutoLock lock(&m_Lock);
    if (!m_kept.empty() && m_kept.front().GetSize() != buffer.GetSize()) dropped.swap(m_kept);
    if (m_kept.size() < m_maxKept) {
        if (m_kept.capacity() < m_maxKept) m_kept.reserve(m_maxKept);
        m_kept.push_back(std::move(buffer));
    }
}

DWORD CMyPixelBufferPool::GetKeptCount()
{
    CAutoLock lock(&m_Lock);
    return static_cast<DWORD>(m_kept.size());
}
