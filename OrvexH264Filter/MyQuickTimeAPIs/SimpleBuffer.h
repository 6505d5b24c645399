// An owning byte array and its size. An empty buffer has a null pointer and
// size 0. Holds copies of sample descriptions and the pixels of pictures.
#pragma once

#include <windows.h>

#include <memory>

class CSimpleBuffer {
public:
    CSimpleBuffer() = default;
    // A zero-filled buffer of size bytes (empty for 0). Throws std::bad_alloc.
    explicit CSimpleBuffer(DWORD size);
    // A copy of count bytes (empty for 0).
    CSimpleBuffer(const BYTE *bytes, DWORD count);
    virtual ~CSimpleBuffer() = default;

    CSimpleBuffer(CSimpleBuffer &&) noexcept = default;
    CSimpleBuffer &operator=(CSimpleBuffer &&) noexcept = default;
    CSimpleBuffer(const CSimpleBuffer &) = delete;
    CSimpleBuffer &operator=(const CSimpleBuffer &) = delete;

    BYTE *GetData() { return m_data.get(); }
    const BYTE *GetData() const { return m_data.get(); }
    DWORD GetSize() const { return m_size; }
    // Frees the array: the buffer is empty afterwards.
    void Free();

private:
    std::unique_ptr<BYTE[]> m_data;
    DWORD m_size = 0;
};
