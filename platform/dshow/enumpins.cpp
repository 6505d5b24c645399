// CEnumPins.
#include "enumpins.h"

#include <new>

#include <vfwmsgs.h>

#include "basepin.h"

CEnumPins::CEnumPins(CBaseFilter *pFilter, CEnumPins *pEnumPins)
    : m_Position(0), m_PinCount(0), m_pFilter(pFilter), m_Version(0), m_cRef(1), m_PinCache(NAME("Pin Cache"))
{
    m_pFilter->AddRef();
    if (pEnumPins == NULL) {
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
    } else {
        m_Position = pEnumPins->m_Position;
        m_PinCount = pEnumPins->m_PinCount;
        m_Version = pEnumPins->m_Version;
        m_PinCache.AddTail(&(pEnumPins->m_PinCache));
    }
}

CEnumPins::~CEnumPins()
{
    m_PinCache.RemoveAll();
    m_pFilter->Release();
}

STDMETHODIMP CEnumPins::QueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IEnumPins || riid == IID_IUnknown) return GetInterface(static_cast<IEnumPins *>(this), ppv);
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CEnumPins::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CEnumPins::Clone(IEnumPins **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = NULL;
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *ppEnum = new (std::nothrow) CEnumPins(m_pFilter, this);
    return *ppEnum == NULL ? E_OUTOFMEMORY : NOERROR;
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin **ppPins, ULONG *pcFetched)
{
    CheckPointer(ppPins, E_POINTER);
    if (pcFetched != NULL) {
        *pcFetched = 0;
    } else if (cPins > 1) {
        return E_INVALIDARG;
    }
    ULONG cFetched = 0;
    // Pins added or removed: look at them all again; the cache keeps those
    // already handed out from coming twice.
    if (AreWeOutOfSync()) Refresh();

    while (cFetched < cPins && m_PinCount > m_Position) {
        CBasePin *pPin = m_pFilter->GetPin(m_Position++);
        if (pPin == NULL) {
            // The filter has fewer pins than it said: release what this call
            // handed out and report the change.
            for (ULONG i = 0; i < cFetched; i++) {
                ppPins[-(LONG)(i + 1)]->Release();
                m_PinCache.RemoveTail();
            }
            if (pcFetched) *pcFetched = 0;
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (m_PinCache.Find(pPin) == NULL) {
            *ppPins = pPin;
            pPin->AddRef();
            cFetched++;
            ppPins++;
            m_PinCache.AddTail(pPin);
        }
    }
    if (pcFetched != NULL) *pcFetched = cFetched;
    return cPins == cFetched ? NOERROR : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins)
{
    if (AreWeOutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG PinsLeft = static_cast<ULONG>(m_PinCount - m_Position);
    if (cPins > PinsLeft) return S_FALSE;
    m_Position += static_cast<int>(cPins);
    return NOERROR;
}

STDMETHODIMP CEnumPins::Reset()
{
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
    m_PinCache.RemoveAll();
    return S_OK;
}

STDMETHODIMP CEnumPins::Refresh()
{
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
    return S_OK;
}
