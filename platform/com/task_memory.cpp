// The COM task allocator: one heap for every module of the process, so memory
// one module allocates another may free.
#include <orvexcom.h>

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<LONG> g_liveBlocks{0};
}

extern "C" LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb)
{
    // A zero-byte request still gets a distinct block, as on Windows.
    void *p = std::malloc(cb ? cb : 1);
    if (p) ++g_liveBlocks;
    return p;
}

extern "C" LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (!pv) return CoTaskMemAlloc(cb);
    if (cb == 0) {
        CoTaskMemFree(pv);
        return nullptr;
    }
    // On failure the old block stays valid and owned by the caller.
    return std::realloc(pv, cb);
}

extern "C" void WINAPI CoTaskMemFree(LPVOID pv)
{
    if (!pv) return;
    --g_liveBlocks;
    std::free(pv);
}

extern "C" LONG OrvexTaskMemBlockCount(void)
{
    return g_liveBlocks.load();
}
