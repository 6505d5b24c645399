// The class object DllGetClassObject hands out for one row of the module's
// class table, and the server lock count that DllCanUnloadNow reads.
#pragma once

#include "combase.h"

class CClassFactory : public IClassFactory, public CBaseObject {
    const CFactoryTemplate *const m_pTemplate;
    volatile LONG m_cRef;
    static volatile LONG m_cLocked;

public:
    CClassFactory(const CFactoryTemplate *pTemplate);

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) AddRef();
    STDMETHODIMP_(ULONG) Release();

    // Creates the template's object, aggregated by pUnkOuter when given (then
    // only IID_IUnknown may be asked for), and answers its interface riid.
    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void **pv);
    STDMETHODIMP LockServer(BOOL fLock);

    static BOOL IsLocked() { return __atomic_load_n(&m_cLocked, __ATOMIC_SEQ_CST) > 0 ? TRUE : FALSE; }
};
