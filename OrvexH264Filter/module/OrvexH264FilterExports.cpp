// The module's entry points. DllGetClassObject and DllCanUnloadNow come from
// the base classes' module support over g_Templates; DllMain, registration
// and unregistration are here.
#include <streams.h>

#include <olectl.h>

extern "C" ORVEX_DLL_EXPORT BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    return DllEntryPoint(hInstance, dwReason, pReserved);
}

STDAPI DllRegisterServer()
{
    return AMovieDllRegisterServer2(TRUE);
}

STDAPI DllUnregisterServer()
{
    return AMovieDllRegisterServer2(FALSE);
}
