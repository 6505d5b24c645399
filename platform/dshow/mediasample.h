// CMediaSample: a buffer of an allocator with its times, flags, media type
// and stream identifier, handed out through IMediaSample and IMediaSample2.
// When its last reference goes, the sample clears its properties and goes
// back to its allocator's free list.
#pragma once

#include "combase.h"

class CBaseAllocator;

class CMediaSample : public IMediaSample2 {
protected:
    friend class CBaseAllocator;

    // Internal flags; the first ones are the AM_SAMPLE_ flags of the properties.
    enum {
        Sample_SyncPoint = 0x01,
        Sample_Preroll = 0x02,
        Sample_Discontinuity = 0x04,
        Sample_TypeChanged = 0x08,
        Sample_TimeValid = 0x10,
        Sample_MediaTimeValid = 0x20,
        Sample_TimeDiscontinuity = 0x40,
        Sample_StopValid = 0x100,
        Sample_ValidFlags = 0x1FF
    };

    DWORD m_dwFlags;
    DWORD m_dwTypeSpecificFlags;
    LPBYTE m_pBuffer;
    LONG m_lActual;
    LONG m_cbBuffer;
    CBaseAllocator *m_pAllocator;
    CMediaSample *m_pNext; // the allocator's free list
    REFERENCE_TIME m_Start;
    REFERENCE_TIME m_End;
    LONGLONG m_MediaStart;
    LONGLONG m_MediaEnd; // offset from m_MediaStart
    AM_MEDIA_TYPE *m_pMediaType;
    DWORD m_dwStreamId;

public:
    volatile LONG m_cRef;

    CMediaSample(CObjectName pName, CBaseAllocator *pAllocator, HRESULT *phr, LPBYTE pBuffer = NULL, LONG length = 0);
    virtual ~CMediaSample();

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) AddRef();
    STDMETHODIMP_(ULONG) Release();

    // Points the sample at a buffer of cBytes bytes, all of them actual data.
    HRESULT SetPointer(BYTE *ptr, LONG cBytes);

    STDMETHODIMP GetPointer(BYTE **ppBuffer);
    STDMETHODIMP_(LONG) GetSize(void);
    STDMETHODIMP GetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd);
    STDMETHODIMP SetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd);
    STDMETHODIMP IsSyncPoint(void);
    STDMETHODIMP SetSyncPoint(BOOL bIsSyncPoint);
    STDMETHODIMP IsPreroll(void);
    STDMETHODIMP SetPreroll(BOOL bIsPreroll);
    STDMETHODIMP_(LONG) GetActualDataLength(void);
    STDMETHODIMP SetActualDataLength(LONG lActual);
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE **ppMediaType);
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE *pMediaType);
    STDMETHODIMP IsDiscontinuity(void);
    STDMETHODIMP SetDiscontinuity(BOOL bDiscontinuity);
    STDMETHODIMP GetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd);
    STDMETHODIMP SetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd);

    // The first cbProperties bytes of the sample's AM_SAMPLE2_PROPERTIES.
    STDMETHODIMP GetProperties(DWORD cbProperties, BYTE *pbProperties);
    // Sets the properties contained in the first cbProperties bytes, never
    // more than the structure's own cbData says it holds. The buffer pointer
    // and size cannot be changed.
    STDMETHODIMP SetProperties(DWORD cbProperties, const BYTE *pbProperties);
};
