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

namespace {

// The system loader here does not call DllMain: the module calls it itself
// when it is loaded and unloaded. (The property page's dialog and title are
// registered by the page itself, under the same instance handle.)
__attribute__((constructor)) void OnModuleLoad()
{
    DllMain(AmGetModuleInstance(), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void OnModuleUnload()
{
    DllMain(AmGetModuleInstance(), DLL_PROCESS_DETACH, nullptr);
}

} // namespace
