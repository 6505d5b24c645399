// Kernel object handles: every HANDLE the platform gives out is the address of
// a KernelObject kept alive by a process-wide table until CloseHandle. One
// process-wide lock guards the table and the signaled state of every waitable
// object; one condition variable wakes waiters whenever some object is signaled.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace orvex::win32 {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Waitable objects answer these under kernelLock().
    virtual bool waitable() const { return false; }
    virtual bool signaled() const { return false; }
    // Called when a wait is satisfied by this object (auto-reset events reset).
    virtual void acquire() {}
};

std::mutex &kernelLock();
std::condition_variable &kernelSignal();

// Enters obj into the handle table and returns its handle.
HANDLE registerHandle(std::shared_ptr<KernelObject> obj);
// The object behind h, or null with ERROR_INVALID_HANDLE. Call with kernelLock() held.
std::shared_ptr<KernelObject> lookupHandleLocked(HANDLE h);
std::shared_ptr<KernelObject> lookupHandle(HANDLE h);
// Removes h from the table; the object dies with its last user.
bool unregisterHandle(HANDLE h);

template <class T> std::shared_ptr<T> lookupAs(HANDLE h)
{
    auto obj = std::dynamic_pointer_cast<T>(lookupHandle(h));
    if (!obj) SetLastError(ERROR_INVALID_HANDLE);
    return obj;
}

// Maps an errno value to the nearest Win32 error code.
DWORD errorFromErrno(int err);
// The same for a failed path operation: tells a missing file (2) from a missing folder (3).
DWORD pathErrorFromErrno(int err, const char *utf8Path);

} // namespace orvex::win32
