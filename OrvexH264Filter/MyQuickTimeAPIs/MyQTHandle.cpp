#include "MyQuickTimeAPIs/MyQTHandle.h"

#include <cstring>

CMyQTHandle *NewHandle(DWORD size)
{
    auto handle = std::make_unique<CMyQTHandle>();
    // One byte at least, so that GetData() is never null.
    handle->m_data = std::make_unique<BYTE[]>(size ? size : 1);
    handle->m_capacity = size;
    handle->m_size = size;
    return handle.release();
}

void SetHandleSize(CMyQTHandle *handle, DWORD size)
{
    if (size > handle->m_capacity) {
        auto block = std::make_unique<BYTE[]>(size);
        std::memcpy(block.get(), handle->m_data.get(), handle->m_size);
        handle->m_data = std::move(block);
        handle->m_capacity = size;
    }
    handle->m_size = size;
}

DWORD GetHandleSize(const CMyQTHandle *handle)
{
    return handle->GetSize();
}

void DisposeHandle(CMyQTHandle *handle)
{
    delete handle;
}
