#include "handles.h"

#include <unordered_map>

namespace orvex::win32 {

namespace {
std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> &table()
{
    static auto *t = new std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>();
    return *t;
}
} // namespace

std::mutex &kernelLock()
{
    static auto *m = new std::mutex();
    return *m;
}

std::condition_variable &kernelSignal()
{
    static auto *c = new std::condition_variable();
    return *c;
}

HANDLE registerHandle(std::shared_ptr<KernelObject> obj)
{
    HANDLE h = obj.get();
    std::lock_guard<std::mutex> guard(kernelLock());
    table()[h] = std::move(obj);
    return h;
}

std::shared_ptr<KernelObject> lookupHandleLocked(HANDLE h)
{
    auto it = table().find(h);
    if (it == table().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE h)
{
    std::lock_guard<std::mutex> guard(kernelLock());
    return lookupHandleLocked(h);
}

bool unregisterHandle(HANDLE h)
{
    std::shared_ptr<KernelObject> doomed; // destroyed after the lock is released
    std::lock_guard<std::mutex> guard(kernelLock());
    auto it = table().find(h);
    if (it == table().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    doomed = std::move(it->second);
    table().erase(it);
    return true;
}

} // namespace orvex::win32

using namespace orvex::win32;

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject)
{
    std::shared_ptr<KernelObject> doomed;
    {
        std::lock_guard<std::mutex> guard(kernelLock());
        auto it = table().find(hObject);
        if (it == table().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        doomed = std::move(it->second);
        table().erase(it);
    }
    return TRUE; // a file closes here, outside the lock, when its last user lets go
}
