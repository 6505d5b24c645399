// CBaseAllocator: the pool of samples behind IMemAllocator. GetBuffer hands
// out a free sample or blocks until one comes back; Decommit makes every
// waiting and later GetBuffer return VFW_E_NOT_COMMITTED at once. While
// committed the allocator holds a reference on itself, released when the
// last outstanding sample has come back after a Decommit.
#pragma once

#include <semaphore>

#include "mediasample.h"
#include "wxutil.h"

class CBaseAllocator : public CUnknown, public IMemAllocatorCallbackTemp, public CCritSec {
    class CSampleList;
    friend class CSampleList;

    static CMediaSample *&NextSample(CMediaSample *pSample) { return pSample->m_pNext; }

    // The free samples, linked through the samples themselves.
    class CSampleList {
    public:
        CSampleList() : m_List(NULL), m_nOnList(0) {}
        CMediaSample *Head() const { return m_List; }
        CMediaSample *Next(CMediaSample *pSample) const { return CBaseAllocator::NextSample(pSample); }
        int GetCount() const { return m_nOnList; }
        void Add(CMediaSample *pSample)
        {
            CBaseAllocator::NextSample(pSample) = m_List;
            m_List = pSample;
            m_nOnList++;
        }
        CMediaSample *RemoveHead()
        {
            CMediaSample *pSample = m_List;
            if (pSample != NULL) {
                m_List = CBaseAllocator::NextSample(m_List);
                m_nOnList--;
            }
            return pSample;
        }
        void Remove(CMediaSample *pSample);

        CMediaSample *m_List;
        int m_nOnList;
    };

    // Wakes waiting GetBuffer calls, one release per registered waiter.
    std::counting_semaphore<> m_Semaphore{0};

protected:
    CSampleList m_lFree;
    LONG m_lWaiting;   // GetBuffer calls about to wait for a sample
    LONG m_lCount;     // buffers asked for
    LONG m_lAllocated; // samples that exist
    LONG m_lSize;      // bytes per buffer
    LONG m_lAlignment;
    LONG m_lPrefix;
    BOOL m_bChanged; // properties changed since the samples were made
    BOOL m_bCommitted;
    BOOL m_bDecommitInProgress; // decommitted while samples are still out
    IMemAllocatorNotifyCallbackTemp *m_pNotify;
    BOOL m_fEnableReleaseCallback;

    // Frees the samples' memory when the last one is back after Decommit.
    virtual void Free(void) PURE;
    // Makes the samples on Commit. The base answers VFW_E_SIZENOTSET before
    // SetProperties, S_FALSE when nothing changed, S_OK otherwise.
    virtual HRESULT Alloc(void);

public:
    CBaseAllocator(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr, BOOL bEvent = TRUE,
                   BOOL fEnableReleaseCallback = FALSE);
    virtual ~CBaseAllocator();

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);

    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES *pRequest, ALLOCATOR_PROPERTIES *pActual);
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES *pProps);
    STDMETHODIMP Commit();
    STDMETHODIMP Decommit();
    // With AM_GBF_NOWAIT, VFW_E_TIMEOUT instead of waiting for a sample.
    STDMETHODIMP GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *pStartTime, REFERENCE_TIME *pEndTime,
                           DWORD dwFlags);
    STDMETHODIMP ReleaseBuffer(IMediaSample *pBuffer);

    STDMETHODIMP SetNotify(IMemAllocatorNotifyCallbackTemp *pNotify);
    STDMETHODIMP GetFreeCount(LONG *plBuffersFree);

    // Wakes the waiting GetBuffer calls. Caller holds the allocator's lock.
    void NotifySample();
    void SetWaiting() { m_lWaiting++; }
};
