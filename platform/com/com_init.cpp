// COM initialisation, counted per thread. Nothing here needs the count (there
// are no apartments to set up), but the answers follow Windows so callers
// that pair CoInitializeEx with CoUninitialize see the usual codes.
#include <objbase.h>

namespace {

struct ThreadComState {
    LONG count = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadComState t_state;

} // namespace

extern "C" HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved) return E_INVALIDARG;
    DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    if (t_state.count == 0) {
        t_state.count = 1;
        t_state.model = model;
        return S_OK;
    }
    if (t_state.model != model) return RPC_E_CHANGED_MODE;
    ++t_state.count;
    return S_FALSE;
}

extern "C" HRESULT WINAPI CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

extern "C" void WINAPI CoUninitialize(void)
{
    if (t_state.count > 0) --t_state.count;
}
