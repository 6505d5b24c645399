// Linux only: the system loader here does not call DllMain, so the module
// calls it itself when it is loaded and unloaded. (The property page's dialog
// and title are registered by the page itself, under the same instance
// handle.) On Windows the loader calls DllMain, the entry point.
#include <streams.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved);

namespace {

__attribute__((constructor)) void OnModuleLoad()
{
    DllMain(AmGetModuleInstance(), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void OnModuleUnload()
{
    DllMain(AmGetModuleInstance(), DLL_PROCESS_DETACH, nullptr);
}

} // namespace
