// CMediaType and the task-memory media type helpers.
#include "mtype.h"

#include <algorithm>
#include <cstring>

#include <uuids.h>

#include "fourcc.h"

CMediaType::~CMediaType()
{
    FreeMediaType(*this);
}

CMediaType::CMediaType()
{
    InitMediaType();
}

CMediaType::CMediaType(const GUID *type)
{
    InitMediaType();
    majortype = *type;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE &rt, HRESULT *phr)
{
    HRESULT hr = CopyMediaType(this, &rt);
    if (FAILED(hr) && phr != NULL) *phr = hr;
}

CMediaType::CMediaType(const CMediaType &rt, HRESULT *phr) : _AMMediaType()
{
    HRESULT hr = CopyMediaType(this, &rt);
    if (FAILED(hr) && phr != NULL) *phr = hr;
}

CMediaType &CMediaType::operator=(const AM_MEDIA_TYPE &rt)
{
    Set(rt);
    return *this;
}

CMediaType &CMediaType::operator=(const CMediaType &rt)
{
    Set(rt);
    return *this;
}

BOOL CMediaType::operator==(const CMediaType &rt) const
{
    return IsEqualGUID(majortype, rt.majortype) && IsEqualGUID(subtype, rt.subtype) &&
           IsEqualGUID(formattype, rt.formattype) && cbFormat == rt.cbFormat &&
           (cbFormat == 0 ||
            (pbFormat != NULL && rt.pbFormat != NULL && std::memcmp(pbFormat, rt.pbFormat, cbFormat) == 0));
}

BOOL CMediaType::operator!=(const CMediaType &rt) const
{
    return !(*this == rt);
}

HRESULT CMediaType::Set(const CMediaType &rt)
{
    return Set(static_cast<const AM_MEDIA_TYPE &>(rt));
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE &rt)
{
    if (&rt != this) {
        FreeMediaType(*this);
        HRESULT hr = CopyMediaType(this, &rt);
        if (FAILED(hr)) return hr == E_INVALIDARG ? hr : E_OUTOFMEMORY;
    }
    return S_OK;
}

BOOL CMediaType::IsValid() const
{
    return !IsEqualGUID(majortype, GUID_NULL);
}

void CMediaType::SetType(const GUID *ptype)
{
    majortype = *ptype;
}

void CMediaType::SetSubtype(const GUID *ptype)
{
    subtype = *ptype;
}

ULONG CMediaType::GetSampleSize() const
{
    return IsFixedSize() ? lSampleSize : 0;
}

void CMediaType::SetSampleSize(ULONG sz)
{
    if (sz == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = sz;
    }
}

void CMediaType::SetVariableSize()
{
    bFixedSizeSamples = FALSE;
}

void CMediaType::SetTemporalCompression(BOOL bCompressed)
{
    bTemporalCompression = bCompressed;
}

BOOL CMediaType::SetFormat(BYTE *pformat, ULONG cb)
{
    if (cb == 0) {
        ResetFormatBuffer();
        return TRUE;
    }
    if (pformat == NULL || AllocFormatBuffer(cb) == NULL) return FALSE;
    std::memcpy(pbFormat, pformat, cb);
    return TRUE;
}

void CMediaType::SetFormatType(const GUID *pformattype)
{
    formattype = *pformattype;
}

void CMediaType::ResetFormatBuffer()
{
    if (cbFormat) CoTaskMemFree(pbFormat);
    cbFormat = 0;
    pbFormat = NULL;
}

BYTE *CMediaType::AllocFormatBuffer(ULONG length)
{
    if (length == 0) {
        // A zero-length block would not be freed (cbFormat 0 means none).
        ResetFormatBuffer();
        return NULL;
    }
    if (cbFormat == length) return pbFormat;
    BYTE *pNewFormat = static_cast<BYTE *>(CoTaskMemAlloc(length));
    if (pNewFormat == NULL) {
        if (length <= cbFormat) return pbFormat; // the old block is large enough
        return NULL;
    }
    if (cbFormat != 0) CoTaskMemFree(pbFormat);
    cbFormat = length;
    pbFormat = pNewFormat;
    return pbFormat;
}

BYTE *CMediaType::ReallocFormatBuffer(ULONG length)
{
    if (length == 0) {
        ResetFormatBuffer();
        return NULL;
    }
    if (cbFormat == length) return pbFormat;
    BYTE *pNewFormat = static_cast<BYTE *>(CoTaskMemAlloc(length));
    if (pNewFormat == NULL) {
        if (length <= cbFormat) return pbFormat;
        return NULL;
    }
    if (cbFormat != 0) {
        std::memcpy(pNewFormat, pbFormat, std::min(length, cbFormat));
        CoTaskMemFree(pbFormat);
    }
    cbFormat = length;
    pbFormat = pNewFormat;
    return pNewFormat;
}

void CMediaType::InitMediaType()
{
    *static_cast<AM_MEDIA_TYPE *>(this) = AM_MEDIA_TYPE{};
    lSampleSize = 1;
    bFixedSizeSamples = TRUE;
}

BOOL CMediaType::IsPartiallySpecified() const
{
    return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}

BOOL CMediaType::MatchesPartial(const CMediaType *ppartial) const
{
    if (!IsEqualGUID(ppartial->majortype, GUID_NULL) && !IsEqualGUID(majortype, ppartial->majortype)) return FALSE;
    if (!IsEqualGUID(ppartial->subtype, GUID_NULL) && !IsEqualGUID(subtype, ppartial->subtype)) return FALSE;
    if (!IsEqualGUID(ppartial->formattype, GUID_NULL)) {
        if (!IsEqualGUID(formattype, ppartial->formattype)) return FALSE;
        if (cbFormat != ppartial->cbFormat) return FALSE;
        if (cbFormat != 0 && (pbFormat == NULL || ppartial->pbFormat == NULL ||
                              std::memcmp(pbFormat, ppartial->pbFormat, cbFormat) != 0)) {
            return FALSE;
        }
    }
    return TRUE;
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE *pmt)
{
    if (pmt == NULL) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

AM_MEDIA_TYPE *WINAPI CreateMediaType(AM_MEDIA_TYPE const *pSrc)
{
    if (pSrc == NULL) return NULL;
    AM_MEDIA_TYPE *pMediaType = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (pMediaType == NULL) return NULL;
    if (FAILED(CopyMediaType(pMediaType, pSrc))) {
        CoTaskMemFree(pMediaType);
        return NULL;
    }
    return pMediaType;
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE *pmtTarget, const AM_MEDIA_TYPE *pmtSource)
{
    CheckPointer(pmtTarget, E_POINTER);
    CheckPointer(pmtSource, E_POINTER);
    if (pmtTarget == pmtSource) return S_OK;
    *pmtTarget = *pmtSource;
    // The target never shares the source's block: a zero length means none.
    pmtTarget->pbFormat = NULL;
    pmtTarget->cbFormat = 0;
    if (pmtSource->cbFormat != 0) {
        if (pmtSource->pbFormat == NULL) {
            pmtTarget->pUnk = NULL;
            return E_INVALIDARG;
        }
        pmtTarget->pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(pmtSource->cbFormat));
        if (pmtTarget->pbFormat == NULL) {
            pmtTarget->pUnk = NULL;
            return E_OUTOFMEMORY;
        }
        std::memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
        pmtTarget->cbFormat = pmtSource->cbFormat;
    }
    if (pmtTarget->pUnk != NULL) pmtTarget->pUnk->AddRef();
    return S_OK;
}

void WINAPI FreeMediaType(AM_MEDIA_TYPE &mt)
{
    if (mt.cbFormat != 0) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = NULL;
    if (mt.pUnk != NULL) {
        mt.pUnk->Release();
        mt.pUnk = NULL;
    }
}

HRESULT WINAPI CreateAudioMediaType(const WAVEFORMATEX *pwfx, AM_MEDIA_TYPE *pmt, BOOL bSetFormat)
{
    CheckPointer(pwfx, E_POINTER);
    CheckPointer(pmt, E_POINTER);
    pmt->majortype = MEDIATYPE_Audio;
    if (pwfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        pmt->subtype = reinterpret_cast<const WAVEFORMATEXTENSIBLE *>(pwfx)->SubFormat;
    } else {
        pmt->subtype = FOURCCMap(pwfx->wFormatTag);
    }
    pmt->formattype = FORMAT_WaveFormatEx;
    pmt->bFixedSizeSamples = TRUE;
    pmt->bTemporalCompression = FALSE;
    pmt->lSampleSize = pwfx->nBlockAlign;
    pmt->pUnk = NULL;
    pmt->cbFormat = 0;
    pmt->pbFormat = NULL;
    if (bSetFormat) {
        ULONG cb = pwfx->wFormatTag == WAVE_FORMAT_PCM ? sizeof(WAVEFORMATEX) : sizeof(WAVEFORMATEX) + pwfx->cbSize;
        pmt->pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(cb));
        if (pmt->pbFormat == NULL) return E_OUTOFMEMORY;
        pmt->cbFormat = cb;
        if (pwfx->wFormatTag == WAVE_FORMAT_PCM) {
            std::memcpy(pmt->pbFormat, pwfx, sizeof(PCMWAVEFORMAT));
            reinterpret_cast<WAVEFORMATEX *>(pmt->pbFormat)->cbSize = 0;
        } else {
            std::memcpy(pmt->pbFormat, pwfx, cb);
        }
    }
    return S_OK;
}
