// CEnumPins: IEnumPins over a CBaseFilter's pins. When the filter's pin
// version changes under it the enumerator starts over, skipping the pins it
// has already handed out.
#pragma once

#include "basefilter.h"
#include "wxlist.h"

class CEnumPins : public IEnumPins {
    int m_Position;
    int m_PinCount;
    CBaseFilter *m_pFilter; // one reference held
    LONG m_Version;
    volatile LONG m_cRef;
    typedef CGenericList<CBasePin> CPinList;
    CPinList m_PinCache; // pins already handed out

    BOOL AreWeOutOfSync() { return m_pFilter->GetPinVersion() == m_Version ? FALSE : TRUE; }
    STDMETHODIMP Refresh();

public:
    CEnumPins(CBaseFilter *pFilter, CEnumPins *pEnumPins);
    virtual ~CEnumPins();

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) AddRef();
    STDMETHODIMP_(ULONG) Release();

    // More than one pin needs pcFetched; S_FALSE when fewer than cPins remain.
    STDMETHODIMP Next(ULONG cPins, IPin **ppPins, ULONG *pcFetched);
    STDMETHODIMP Skip(ULONG cPins);
    STDMETHODIMP Reset();
    // VFW_E_ENUM_OUT_OF_SYNC when the pins have changed.
    STDMETHODIMP Clone(IEnumPins **ppEnum);
};
