// The module entry points made from the class table: DllEntryPoint (called by
// the module's DllMain), DllGetClassObject and DllCanUnloadNow.
#include <windows.h>

#include <olectl.h>

#include <new>

#include "classfactory.h"

namespace {

void DllInitClasses(BOOL bLoading)
{
    for (int i = 0; i < g_cTemplates; i++) {
        const CFactoryTemplate *pT = &g_Templates[i];
        if (pT->m_lpfnInit != NULL) (*pT->m_lpfnInit)(bLoading, pT->m_ClsID);
    }
}

} // namespace

STDAPI DllGetClassObject(REFCLSID rClsID, REFIID riid, void **pv)
{
    CheckPointer(pv, E_POINTER);
    *pv = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;

    for (int i = 0; i < g_cTemplates; i++) {
        const CFactoryTemplate *pT = &g_Templates[i];
        if (pT->IsClassID(rClsID)) {
            CClassFactory *pFactory = new (std::nothrow) CClassFactory(pT);
            if (pFactory == NULL) return E_OUTOFMEMORY;
            pFactory->AddRef();
            *pv = static_cast<IClassFactory *>(pFactory);
            return NOERROR;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    if (CClassFactory::IsLocked() || CBaseObject::ObjectsActive()) return S_FALSE;
    return S_OK;
}

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, ULONG ulReason, LPVOID pv)
{
    UNREFERENCED_PARAMETER(pv);
    switch (ulReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(hInstance);
        g_hInst = hInstance;
        DllInitClasses(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        DllInitClasses(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}
