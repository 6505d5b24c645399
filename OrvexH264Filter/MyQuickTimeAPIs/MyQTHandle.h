// A growable byte block carrying copies of sample descriptions and data
// references: data, capacity and size, with the QuickTime-style functions
// NewHandle, SetHandleSize, GetHandleSize and DisposeHandle.
#pragma once

#include <windows.h>

#include <memory>

class CMyQTHandle {
public:
    BYTE *GetData() { return m_data.get(); }
    const BYTE *GetData() const { return m_data.get(); }
    DWORD GetSize() const { return m_size; }
    DWORD GetCapacity() const { return m_capacity; }

private:
    friend CMyQTHandle *NewHandle(DWORD size);
    friend void SetHandleSize(CMyQTHandle *handle, DWORD size);
    std::unique_ptr<BYTE[]> m_data;
    DWORD m_capacity = 0;
    DWORD m_size = 0;
};

// A new handle with a zero-filled block of size bytes. Throws std::bad_alloc.
CMyQTHandle *NewHandle(DWORD size);
// Grows the block when size exceeds the capacity (the old contents are kept,
// the new bytes are zero); otherwise only the size changes and the block stays.
void SetHandleSize(CMyQTHandle *handle, DWORD size);
DWORD GetHandleSize(const CMyQTHandle *handle);
// Frees block and handle; a null handle is ignored.
void DisposeHandle(CMyQTHandle *handle);

struct CMyQTHandleDisposer {
    void operator()(CMyQTHandle *handle) const { DisposeHandle(handle); }
};
// A handle disposed of when it goes out of scope.
using CMyQTHandlePtr = std::unique_ptr<CMyQTHandle, CMyQTHandleDisposer>;
