// CMemAllocator: one aligned block cut into the samples' buffers.
#include "memallocator.h"

#include <cstring>
#include <new>

#include <vfwmsgs.h>

namespace {
constexpr size_t kBlockAlignment = 4096; // page-aligned, as a virtual allocation is
}

CMemAllocator::CMemAllocator(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr)
    : CBaseAllocator(pName, pUnk, phr, TRUE, TRUE), m_pBuffer(NULL)
{
}

CMemAllocator::~CMemAllocator()
{
    Decommit();
    ReallyFree();
}

CUnknown *CMemAllocator::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    CUnknown *pUnkRet = new (std::nothrow) CMemAllocator(NAME("CMemAllocator"), pUnk, phr);
    if (pUnkRet == NULL && phr) *phr = E_OUTOFMEMORY;
    return pUnkRet;
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual)
{
    CheckPointer(pRequest, E_POINTER);
    CheckPointer(pActual, E_POINTER);
    CAutoLock cObjectLock(this);
    ZeroMemory(pActual, sizeof(ALLOCATOR_PROPERTIES));

    SYSTEM_INFO SysInfo;
    GetSystemInfo(&SysInfo);
    LONG align = pRequest->cbAlign;
    if (align <= 0 || (align & (align - 1)) != 0 || (SysInfo.dwAllocationGranularity & (DWORD)(align - 1)) != 0) {
        return VFW_E_BADALIGN;
    }
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_lFree.GetCount() < m_lAllocated) return VFW_E_BUFFERS_OUTSTANDING;
    if (pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0 || pRequest->cBuffers < 0) return E_INVALIDARG;

    // Round prefix plus buffer up to the alignment, in 64 bits so that a
    // size near the 32-bit limit is refused instead of wrapping.
    LONGLONG lSize = (LONGLONG)pRequest->cbBuffer + pRequest->cbPrefix;
    LONGLONG lRemainder = lSize % align;
    if (lRemainder != 0) lSize = lSize - lRemainder + align;
    if (lSize > 0x7FFFFFFF) return E_OUTOFMEMORY;

    pActual->cbBuffer = m_lSize = (LONG)(lSize - pRequest->cbPrefix);
    pActual->cBuffers = m_lCount = pRequest->cBuffers;
    pActual->cbAlign = m_lAlignment = pRequest->cbAlign;
    pActual->cbPrefix = m_lPrefix = pRequest->cbPrefix;
    m_bChanged = TRUE;
    return NOERROR;
}

HRESULT CMemAllocator::Alloc(void)
{
    CAutoLock lck(this);
    HRESULT hr = CBaseAllocator::Alloc();
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return NOERROR; // same properties: the samples are still there

    if (m_pBuffer) ReallyFree();
    if (m_lSize < 0 || m_lPrefix < 0 || m_lCount < 0) return E_OUTOFMEMORY;

    LONGLONG lAlignedSize = (LONGLONG)m_lSize + m_lPrefix;
    if (m_lAlignment > 1) {
        LONGLONG lRemainder = lAlignedSize % m_lAlignment;
        if (lRemainder != 0) lAlignedSize += m_lAlignment - lRemainder;
    }
    LONGLONG lToAllocate = m_lCount * lAlignedSize;
    if (lAlignedSize > 0x7FFFFFFF || lToAllocate > 0x7FFFFFFF) return E_OUTOFMEMORY;

    size_t cb = ((size_t)lToAllocate + kBlockAlignment - 1) / kBlockAlignment * kBlockAlignment;
    // The aligned operator new: MSVCRT has no aligned_alloc.
    m_pBuffer = static_cast<LPBYTE>(::operator new(cb, std::align_val_t(kBlockAlignment), std::nothrow));
    if (m_pBuffer == NULL) return E_OUTOFMEMORY;
    std::memset(m_pBuffer, 0, cb);

    LPBYTE pNext = m_pBuffer;
    for (; m_lAllocated < m_lCount; m_lAllocated++, pNext += lAlignedSize) {
        CMediaSample *pSample =
            new (std::nothrow) CMediaSample(NAME("Default memory media sample"), this, &hr, pNext + m_lPrefix, m_lSize);
        if (pSample == NULL) return E_OUTOFMEMORY;
        m_lFree.Add(pSample);
    }
    m_bChanged = FALSE;
    return NOERROR;
}

void CMemAllocator::Free(void) {}

void CMemAllocator::ReallyFree(void)
{
    for (;;) {
        CMediaSample *pSample = m_lFree.RemoveHead();
        if (pSample == NULL) break;
        delete pSample;
    }
    m_lAllocated = 0;
    if (m_pBuffer != NULL) ::operator delete(m_pBuffer, std::align_val_t(kBlockAlignment));
    m_pBuffer = NULL;
}

STDAPI CreateMemoryAllocator(IMemAllocator **ppAllocator)
{
    CheckPointer(ppAllocator, E_POINTER);
    *ppAllocator = NULL;
    HRESULT hr = S_OK;
    CUnknown *pAllocator = CMemAllocator::CreateInstance(NULL, &hr);
    if (pAllocator == NULL) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    pAllocator->NonDelegatingAddRef();
    hr = pAllocator->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void **>(ppAllocator));
    pAllocator->NonDelegatingRelease();
    return hr;
}
