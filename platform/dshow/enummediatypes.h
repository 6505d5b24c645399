// CEnumMediaTypes: IEnumMediaTypes over a CBasePin's GetMediaType. Each type
// is handed out in task memory (DeleteMediaType frees it). When the pin's
// type version changes the enumerator is out of sync until Reset.
#pragma once

#include "combase.h"

class CBasePin;

class CEnumMediaTypes : public IEnumMediaTypes {
    int m_Position;
    CBasePin *m_pPin; // one reference held
    LONG m_Version;
    volatile LONG m_cRef;

    BOOL AreWeOutOfSync();

public:
    CEnumMediaTypes(CBasePin *pPin, CEnumMediaTypes *pEnumMediaTypes);
    virtual ~CEnumMediaTypes();

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) AddRef();
    STDMETHODIMP_(ULONG) Release();

    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE **ppMediaTypes, ULONG *pcFetched);
    STDMETHODIMP Skip(ULONG cMediaTypes);
    STDMETHODIMP Reset();
    STDMETHODIMP Clone(IEnumMediaTypes **ppEnum);
};
