// CMediaSample's properties and its return to the allocator.
#include "mediasample.h"

#include <algorithm>
#include <cstring>

#include <vfwmsgs.h>

#include "allocator.h"
#include "mtype.h"

// True when the first cb bytes of AM_SAMPLE2_PROPERTIES hold the whole field.
#define CONTAINS_FIELD(field, cb)                                                                                      \
    (offsetof(AM_SAMPLE2_PROPERTIES, field) + sizeof(((AM_SAMPLE2_PROPERTIES *)0)->field) <= (cb))

CMediaSample::CMediaSample(CObjectName pName, CBaseAllocator *pAllocator, HRESULT *phr, LPBYTE pBuffer, LONG length)
    : m_dwFlags(0), m_dwTypeSpecificFlags(0), m_pBuffer(pBuffer), m_lActual(length), m_cbBuffer(length),
      m_pAllocator(pAllocator), m_pNext(NULL), m_Start(0), m_End(0), m_MediaStart(0), m_MediaEnd(0), m_pMediaType(NULL),
      m_dwStreamId(AM_STREAM_MEDIA), m_cRef(0)
{
    UNREFERENCED_PARAMETER(pName);
    if (length < 0) {
        if (phr) *phr = VFW_E_BUFFER_OVERFLOW;
        m_cbBuffer = 0;
        m_lActual = 0;
    }
}

CMediaSample::~CMediaSample()
{
    if (m_pMediaType) DeleteMediaType(m_pMediaType);
}

STDMETHODIMP CMediaSample::QueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IMediaSample) || IsEqualIID(riid, IID_IMediaSample2) || IsEqualIID(riid, IID_IUnknown)) {
        return GetInterface(static_cast<IMediaSample2 *>(this), ppv);
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaSample::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CMediaSample::Release()
{
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        // Nobody else holds the sample: clear it for its next user and hand
        // it back, which may delete it if its allocator is going away.
        if (m_dwFlags & Sample_TypeChanged) SetMediaType(NULL);
        m_dwFlags = 0;
        m_dwTypeSpecificFlags = 0;
        m_dwStreamId = AM_STREAM_MEDIA;
        m_pAllocator->ReleaseBuffer(this);
    }
    return static_cast<ULONG>(lRef);
}

HRESULT CMediaSample::SetPointer(BYTE *ptr, LONG cBytes)
{
    if (cBytes < 0) return VFW_E_BUFFER_OVERFLOW;
    m_pBuffer = ptr;
    m_cbBuffer = cBytes;
    m_lActual = cBytes;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetPointer(BYTE **ppBuffer)
{
    CheckPointer(ppBuffer, E_POINTER);
    *ppBuffer = m_pBuffer;
    return NOERROR;
}

STDMETHODIMP_(LONG) CMediaSample::GetSize(void)
{
    return m_cbBuffer;
}

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd)
{
    CheckPointer(pTimeStart, E_POINTER);
    CheckPointer(pTimeEnd, E_POINTER);
    if (!(m_dwFlags & Sample_StopValid)) {
        if (!(m_dwFlags & Sample_TimeValid)) return VFW_E_SAMPLE_TIME_NOT_SET;
        *pTimeStart = m_Start;
        *pTimeEnd = m_Start + 1; // callers that ignore the code still see a stop after the start
        return VFW_S_NO_STOP_TIME;
    }
    *pTimeStart = m_Start;
    *pTimeEnd = m_End;
    return NOERROR;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME *pTimeStart, REFERENCE_TIME *pTimeEnd)
{
    if (pTimeStart == NULL) {
        m_dwFlags &= ~(Sample_TimeValid | Sample_StopValid);
    } else if (pTimeEnd == NULL) {
        m_Start = *pTimeStart;
        m_dwFlags |= Sample_TimeValid;
        m_dwFlags &= ~Sample_StopValid;
    } else {
        m_Start = *pTimeStart;
        m_End = *pTimeEnd;
        m_dwFlags |= Sample_TimeValid | Sample_StopValid;
    }
    return NOERROR;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd)
{
    CheckPointer(pTimeStart, E_POINTER);
    CheckPointer(pTimeEnd, E_POINTER);
    if (!(m_dwFlags & Sample_MediaTimeValid)) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_MediaStart;
    *pTimeEnd = m_MediaStart + m_MediaEnd;
    return NOERROR;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG *pTimeStart, LONGLONG *pTimeEnd)
{
    if (pTimeStart == NULL) {
        m_dwFlags &= ~Sample_MediaTimeValid;
        return NOERROR;
    }
    CheckPointer(pTimeEnd, E_POINTER);
    m_MediaStart = *pTimeStart;
    m_MediaEnd = *pTimeEnd - *pTimeStart;
    m_dwFlags |= Sample_MediaTimeValid;
    return NOERROR;
}

STDMETHODIMP CMediaSample::IsSyncPoint(void)
{
    return (m_dwFlags & Sample_SyncPoint) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetSyncPoint(BOOL bIsSyncPoint)
{
    if (bIsSyncPoint) {
        m_dwFlags |= Sample_SyncPoint;
    } else {
        m_dwFlags &= ~Sample_SyncPoint;
    }
    return NOERROR;
}

STDMETHODIMP CMediaSample::IsDiscontinuity(void)
{
    return (m_dwFlags & Sample_Discontinuity) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL bDiscont)
{
    if (bDiscont) {
        m_dwFlags |= Sample_Discontinuity;
    } else {
        m_dwFlags &= ~Sample_Discontinuity;
    }
    return S_OK;
}

STDMETHODIMP CMediaSample::IsPreroll(void)
{
    return (m_dwFlags & Sample_Preroll) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetPreroll(BOOL bIsPreroll)
{
    if (bIsPreroll) {
        m_dwFlags |= Sample_Preroll;
    } else {
        m_dwFlags &= ~Sample_Preroll;
    }
    return NOERROR;
}

STDMETHODIMP_(LONG) CMediaSample::GetActualDataLength(void)
{
    return m_lActual;
}

STDMETHODIMP CMediaSample::SetActualDataLength(LONG lActual)
{
    if (lActual < 0 || lActual > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
    m_lActual = lActual;
    return NOERROR;
}

STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE **ppMediaType)
{
    CheckPointer(ppMediaType, E_POINTER);
    if (!(m_dwFlags & Sample_TypeChanged)) {
        *ppMediaType = NULL;
        return S_FALSE;
    }
    *ppMediaType = CreateMediaType(m_pMediaType);
    if (*ppMediaType == NULL) return E_OUTOFMEMORY;
    return NOERROR;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE *pMediaType)
{
    if (m_pMediaType) {
        DeleteMediaType(m_pMediaType);
        m_pMediaType = NULL;
    }
    if (pMediaType == NULL) {
        m_dwFlags &= ~Sample_TypeChanged;
        return NOERROR;
    }
    m_pMediaType = CreateMediaType(pMediaType);
    if (m_pMediaType == NULL) {
        m_dwFlags &= ~Sample_TypeChanged;
        return E_OUTOFMEMORY;
    }
    m_dwFlags |= Sample_TypeChanged;
    return NOERROR;
}

STDMETHODIMP CMediaSample::GetProperties(DWORD cbProperties, BYTE *pbProperties)
{
    if (cbProperties != 0) {
        CheckPointer(pbProperties, E_POINTER);
        AM_SAMPLE2_PROPERTIES Props;
        std::memset(&Props, 0, sizeof(Props)); // no stray bytes in the padding
        Props.cbData = std::min<DWORD>(cbProperties, sizeof(Props));
        Props.dwSampleFlags = m_dwFlags & ~Sample_MediaTimeValid;
        Props.dwTypeSpecificFlags = m_dwTypeSpecificFlags;
        Props.pbBuffer = m_pBuffer;
        Props.cbBuffer = m_cbBuffer;
        Props.lActual = m_lActual;
        Props.tStart = m_Start;
        Props.tStop = m_End;
        Props.dwStreamId = m_dwStreamId;
        Props.pMediaType = (m_dwFlags & AM_SAMPLE_TYPECHANGED) ? m_pMediaType : NULL;
        std::memcpy(pbProperties, &Props, Props.cbData);
    }
    return S_OK;
}

STDMETHODIMP CMediaSample::SetProperties(DWORD cbProperties, const BYTE *pbProperties)
{
    if (!CONTAINS_FIELD(cbData, cbProperties)) return S_OK;
    CheckPointer(pbProperties, E_POINTER);
    AM_SAMPLE2_PROPERTIES Props;
    std::memset(&Props, 0, sizeof(Props));
    // Never read more than the caller handed over, nor more than it says it filled.
    std::memcpy(&Props, pbProperties, std::min<DWORD>(cbProperties, sizeof(Props)));
    if (Props.cbData < cbProperties) cbProperties = Props.cbData;
    if (cbProperties > sizeof(Props) || Props.cbData > sizeof(Props)) return E_INVALIDARG;

    // Check everything before changing anything.
    if (CONTAINS_FIELD(dwSampleFlags, cbProperties)) {
        if (Props.dwSampleFlags & (~Sample_ValidFlags | Sample_MediaTimeValid)) return E_INVALIDARG;
        // A time flag needs the times, or times already set.
        if ((Props.dwSampleFlags & AM_SAMPLE_TIMEVALID) && !(m_dwFlags & AM_SAMPLE_TIMEVALID) &&
            !CONTAINS_FIELD(tStop, cbProperties)) {
            return E_INVALIDARG;
        }
    }
    if (CONTAINS_FIELD(pbBuffer, cbProperties) && Props.pbBuffer != NULL && Props.pbBuffer != m_pBuffer) {
        return E_INVALIDARG;
    }
    if (CONTAINS_FIELD(cbBuffer, cbProperties)) {
        if (Props.cbBuffer != 0 && Props.cbBuffer != m_cbBuffer) return E_INVALIDARG;
        if (Props.cbBuffer < Props.lActual) return E_INVALIDARG;
    }
    if (CONTAINS_FIELD(lActual, cbProperties) && (Props.lActual < 0 || Props.lActual > m_cbBuffer)) {
        return E_INVALIDARG;
    }
    AM_MEDIA_TYPE *pMediaType = NULL;
    if (CONTAINS_FIELD(pMediaType, cbProperties) && (Props.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) {
        CheckPointer(Props.pMediaType, E_POINTER);
        pMediaType = CreateMediaType(Props.pMediaType);
        if (pMediaType == NULL) return E_OUTOFMEMORY;
    }

    if (CONTAINS_FIELD(dwStreamId, cbProperties)) m_dwStreamId = Props.dwStreamId;
    if (CONTAINS_FIELD(dwSampleFlags, cbProperties)) {
        m_dwFlags = Props.dwSampleFlags | (m_dwFlags & Sample_MediaTimeValid);
        m_dwTypeSpecificFlags = Props.dwTypeSpecificFlags;
    } else if (CONTAINS_FIELD(dwTypeSpecificFlags, cbProperties)) {
        m_dwTypeSpecificFlags = Props.dwTypeSpecificFlags;
    }
    if (CONTAINS_FIELD(lActual, cbProperties)) m_lActual = Props.lActual;
    if (CONTAINS_FIELD(tStop, cbProperties)) m_End = Props.tStop;
    if (CONTAINS_FIELD(tStart, cbProperties)) m_Start = Props.tStart;
    if (CONTAINS_FIELD(pMediaType, cbProperties) && (Props.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) {
        if (m_pMediaType != NULL) DeleteMediaType(m_pMediaType);
        m_pMediaType = pMediaType;
    }
    // The type-changed flag follows whether the sample holds a type, so a
    // set of flags without the type cannot lose or invent one.
    if (m_pMediaType) {
        m_dwFlags |= Sample_TypeChanged;
    } else {
        m_dwFlags &= ~Sample_TypeChanged;
    }
    return S_OK;
}
