// CBaseObject's live-object count and CUnknown's reference counting.
#include "combase.h"

volatile LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(CObjectName pName) : m_pName(pName)
{
    InterlockedIncrement(&m_cObjects);
}

CBaseObject::~CBaseObject()
{
    InterlockedDecrement(&m_cObjects);
}

CUnknown::CUnknown(CObjectName pName, LPUNKNOWN pUnk)
    : CBaseObject(pName), m_InnerUnknown(this), m_pUnk(pUnk ? pUnk : &m_InnerUnknown), m_cRef(0)
{
}

CUnknown::CUnknown(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr) : CUnknown(pName, pUnk)
{
    UNREFERENCED_PARAMETER(phr);
}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IUnknown)) {
        // The identity of a not aggregated object; the handle by which an
        // aggregating object controls this one otherwise.
        return GetInterface(&m_InnerUnknown, ppv);
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef()
{
    LONG lRef = InterlockedIncrement(&m_cRef);
    return lRef > 1 ? static_cast<ULONG>(lRef) : 1ul;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease()
{
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        // An artificial reference keeps a destructor that adds and releases
        // references on itself from deleting the object twice.
        InterlockedIncrement(&m_cRef);
        delete this;
        return 0;
    }
    return lRef > 1 ? static_cast<ULONG>(lRef) : 1ul;
}

STDAPI GetInterface(LPUNKNOWN pUnk, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    *ppv = pUnk;
    pUnk->AddRef();
    return NOERROR;
}
