// CClassFactory: creation through the factory template, and server locks.
#include "classfactory.h"

volatile LONG CClassFactory::m_cLocked = 0;

CClassFactory::CClassFactory(const CFactoryTemplate *pTemplate)
    : CBaseObject(NAME("Class Factory")), m_pTemplate(pTemplate), m_cRef(0)
{
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    *ppv = NULL;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return NOERROR;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(lRef);
}

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void **pv)
{
    CheckPointer(pv, E_POINTER);
    *pv = NULL;
    // An aggregated object can only be handed out as its inner unknown.
    if (pUnkOuter != NULL && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;

    HRESULT hr = NOERROR;
    CUnknown *pObj = m_pTemplate->CreateInstance(pUnkOuter, &hr);
    if (pObj == NULL) {
        if (SUCCEEDED(hr)) hr = E_OUTOFMEMORY;
        return hr;
    }
    if (FAILED(hr)) {
        delete pObj;
        return hr;
    }
    // The extra reference keeps the object alive through a failing
    // QueryInterface, whose release then deletes it.
    pObj->NonDelegatingAddRef();
    hr = pObj->NonDelegatingQueryInterface(riid, pv);
    pObj->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock)
{
    if (fLock) {
        InterlockedIncrement(&m_cLocked);
    } else {
        InterlockedDecrement(&m_cLocked);
    }
    return NOERROR;
}
