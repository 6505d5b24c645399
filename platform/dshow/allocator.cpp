// CBaseAllocator: commit, decommit and the blocking hand-out of samples.
#include "allocator.h"

#include <vfwmsgs.h>

void CBaseAllocator::CSampleList::Remove(CMediaSample *pSample)
{
    CMediaSample **pSearch;
    for (pSearch = &m_List; *pSearch != NULL; pSearch = &(CBaseAllocator::NextSample(*pSearch))) {
        if (*pSearch == pSample) {
            *pSearch = CBaseAllocator::NextSample(pSample);
            CBaseAllocator::NextSample(pSample) = NULL;
            m_nOnList--;
            return;
        }
    }
}

CBaseAllocator::CBaseAllocator(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr, BOOL bEvent,
                               BOOL fEnableReleaseCallback)
    : CUnknown(pName, pUnk), m_lWaiting(0), m_lCount(0), m_lAllocated(0), m_lSize(0), m_lAlignment(0), m_lPrefix(0),
      m_bChanged(FALSE), m_bCommitted(FALSE), m_bDecommitInProgress(FALSE), m_pNotify(NULL),
      m_fEnableReleaseCallback(fEnableReleaseCallback)
{
    UNREFERENCED_PARAMETER(phr);
    UNREFERENCED_PARAMETER(bEvent);
}

CBaseAllocator::~CBaseAllocator()
{
    // A derived class decommits in its own destructor: Free is pure here.
    if (m_pNotify) m_pNotify->Release();
}

STDMETHODIMP CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IMemAllocator) ||
        (m_fEnableReleaseCallback && IsEqualIID(riid, IID_IMemAllocatorCallbackTemp))) {
        return GetInterface(static_cast<IMemAllocatorCallbackTemp *>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual)
{
    CheckPointer(pRequest, E_POINTER);
    CheckPointer(pActual, E_POINTER);
    CAutoLock cObjectLock(this);
    ZeroMemory(pActual, sizeof(ALLOCATOR_PROPERTIES));
    if (pRequest->cbAlign != 1) return VFW_E_BADALIGN;
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_lAllocated != m_lFree.GetCount()) return VFW_E_BUFFERS_OUTSTANDING;
    pActual->cbBuffer = m_lSize = pRequest->cbBuffer;
    pActual->cBuffers = m_lCount = pRequest->cBuffers;
    pActual->cbAlign = m_lAlignment = pRequest->cbAlign;
    pActual->cbPrefix = m_lPrefix = pRequest->cbPrefix;
    m_bChanged = TRUE;
    return NOERROR;
}

STDMETHODIMP CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES *pActual)
{
    CheckPointer(pActual, E_POINTER);
    CAutoLock cObjectLock(this);
    pActual->cbBuffer = m_lSize;
    pActual->cBuffers = m_lCount;
    pActual->cbAlign = m_lAlignment;
    pActual->cbPrefix = m_lPrefix;
    return NOERROR;
}

STDMETHODIMP CBaseAllocator::GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *pStartTime, REFERENCE_TIME *pEndTime,
                                       DWORD dwFlags)
{
    UNREFERENCED_PARAMETER(pStartTime);
    UNREFERENCED_PARAMETER(pEndTime);
    CheckPointer(ppBuffer, E_POINTER);
    *ppBuffer = NULL;
    CMediaSample *pSample;
    for (;;) {
        {
            CAutoLock cObjectLock(this);
            if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
            pSample = m_lFree.RemoveHead();
            if (pSample == NULL) {
                if (dwFlags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
                SetWaiting();
            }
        }
        if (pSample) break;
        // Woken by a sample coming back or by Decommit; either way look again.
        m_Semaphore.acquire();
    }
    // The sample now has its one reference; its last Release brings it back
    // through ReleaseBuffer instead of deleting it.
    __atomic_store_n(&pSample->m_cRef, 1, __ATOMIC_SEQ_CST);
    *ppBuffer = pSample;
    return NOERROR;
}

STDMETHODIMP CBaseAllocator::ReleaseBuffer(IMediaSample *pSample)
{
    CheckPointer(pSample, E_POINTER);
    BOOL bRelease = FALSE;
    IMemAllocatorNotifyCallbackTemp *pNotify = NULL;
    {
        CAutoLock cal(this);
        m_lFree.Add(static_cast<CMediaSample *>(pSample));
        if (m_lWaiting != 0) NotifySample();
        // The last sample back after a Decommit frees the memory and drops
        // the reference Commit took.
        if (m_bDecommitInProgress && m_lFree.GetCount() == m_lAllocated) {
            Free();
            m_bDecommitInProgress = FALSE;
            bRelease = TRUE;
        }
        pNotify = m_pNotify;
        if (pNotify) pNotify->AddRef();
    }
    if (pNotify) {
        pNotify->NotifyRelease();
        pNotify->Release();
    }
    if (bRelease) Release();
    return NOERROR;
}

STDMETHODIMP CBaseAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp *pNotify)
{
    CAutoLock lck(this);
    if (pNotify) pNotify->AddRef();
    if (m_pNotify) m_pNotify->Release();
    m_pNotify = pNotify;
    return S_OK;
}

STDMETHODIMP CBaseAllocator::GetFreeCount(LONG *plBuffersFree)
{
    CheckPointer(plBuffersFree, E_POINTER);
    CAutoLock cObjectLock(this);
    *plBuffersFree = m_lCount - m_lAllocated + m_lFree.GetCount();
    return NOERROR;
}

void CBaseAllocator::NotifySample()
{
    if (m_lWaiting != 0) {
        m_Semaphore.release(m_lWaiting);
        m_lWaiting = 0;
    }
}

STDMETHODIMP CBaseAllocator::Commit()
{
    CAutoLock cObjectLock(this);
    if (m_bCommitted) return NOERROR;
    m_bCommitted = TRUE;
    // Committed again before every sample came back: keep the samples (and
    // the reference Commit took before).
    if (m_bDecommitInProgress) {
        m_bDecommitInProgress = FALSE;
        return NOERROR;
    }
    HRESULT hr = Alloc();
    if (FAILED(hr)) {
        m_bCommitted = FALSE;
        return hr;
    }
    AddRef();
    return NOERROR;
}

STDMETHODIMP CBaseAllocator::Decommit()
{
    BOOL bRelease = FALSE;
    {
        CAutoLock cObjectLock(this);
        if (!m_bCommitted && !m_bDecommitInProgress) return NOERROR;
        m_bCommitted = FALSE;
        if (m_lFree.GetCount() < m_lAllocated) {
            m_bDecommitInProgress = TRUE;
        } else {
            m_bDecommitInProgress = FALSE;
            Free();
            bRelease = TRUE;
        }
        // Waiting GetBuffer calls now see the allocator decommitted.
        NotifySample();
    }
    if (bRelease) Release();
    return NOERROR;
}

HRESULT CBaseAllocator::Alloc(void)
{
    if (m_lCount <= 0 || m_lSize <= 0 || m_lAlignment <= 0) return VFW_E_SIZENOTSET;
    if (m_bChanged == FALSE) return S_FALSE;
    return NOERROR;
}
