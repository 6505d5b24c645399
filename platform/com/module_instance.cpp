// The module's instance handle. Windows hands it to DllMain; here a loader may
// not call DllMain at all, so the handle can also be found from an address
// inside the module.
#include "combase.h"

HINSTANCE g_hInst = NULL;
DWORD g_amPlatform = 2; // VER_PLATFORM_WIN32_NT

namespace {
void moduleAnchor() {}
} // namespace

HINSTANCE AmGetModuleInstance()
{
    if (g_hInst) return g_hInst;
    HMODULE hModule = NULL;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&moduleAnchor), &hModule)) {
        return NULL;
    }
    return hModule;
}
