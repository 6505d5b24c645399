#include "MyQuickTimeAPIs/SimpleBuffer.h"

#include <cstring>

CSimpleBuffer::CSimpleBuffer(DWORD size)
{
    if (size == 0) return;
    m_data = std::make_unique<BYTE[]>(size);
    m_size = size;
}

CSimpleBuffer::CSimpleBuffer(const BYTE *bytes, DWORD count) : CSimpleBuffer(count)
{
    if (count) std::memcpy(m_data.get(), bytes, count);
}

void CSimpleBuffer::Free()
{
    m_data.reset();
    m_size = 0;
}
