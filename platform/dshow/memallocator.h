// CMemAllocator: the allocator of ordinary memory that pins use when their
// peer offers none. All buffers live in one aligned block.
#pragma once

#include "allocator.h"

class CMemAllocator : public CBaseAllocator {
protected:
    LPBYTE m_pBuffer; // the block all samples point into

    // Keeps the memory for the next Commit; ReallyFree releases it.
    void Free(void);
    void ReallyFree(void);
    HRESULT Alloc(void);

public:
    static CUnknown *CreateInstance(LPUNKNOWN, HRESULT *);

    // Alignment must be a power of two that divides the system's allocation
    // granularity; the buffer size is rounded up so that prefix plus buffer
    // is a multiple of it.
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual);

    CMemAllocator(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr);
    ~CMemAllocator();
};

// A new CMemAllocator's IMemAllocator, with one reference.
STDAPI CreateMemoryAllocator(IMemAllocator **ppAllocator);
