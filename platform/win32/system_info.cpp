#include <windows.h>

#include <sched.h>
#include <time.h>
#include <unistd.h>

namespace {
uint64_t nanoseconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}
} // namespace

// Milliseconds since the system started, wrapping at 2^32 like Windows.
extern "C" DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(GetTickCount64()); }

extern "C" ULONGLONG WINAPI GetTickCount64(void) { return nanoseconds(CLOCK_BOOTTIME) / 1000000ULL; }

// The performance counter counts 100-ns units of a monotonic clock.
extern "C" BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *lpPerformanceCount)
{
    if (!lpPerformanceCount) return FALSE;
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(nanoseconds(CLOCK_MONOTONIC) / 100);
    return TRUE;
}

extern "C" BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *lpFrequency)
{
    if (!lpFrequency) return FALSE;
    lpFrequency->QuadPart = 10000000;
    return TRUE;
}

extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO info)
{
    if (!info) return;
    std::memset(info, 0, sizeof(*info));
    info->u.s.wProcessorArchitecture = 9; // PROCESSOR_ARCHITECTURE_AMD64
    info->dwPageSize = static_cast<DWORD>(sysconf(_SC_PAGESIZE));
    info->dwAllocationGranularity = 65536;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFULL);
    // The processors this process may run on, which is what a thread count should follow.
    cpu_set_t set;
    CPU_ZERO(&set);
    long n = sched_getaffinity(0, sizeof(set), &set) == 0 ? CPU_COUNT(&set) : sysconf(_SC_NPROCESSORS_ONLN);
    info->dwNumberOfProcessors = static_cast<DWORD>(n > 0 ? n : 1);
    info->dwActiveProcessorMask = info->dwNumberOfProcessors >= 64 ? ~DWORD_PTR(0)
                                                                    : ((DWORD_PTR(1) << info->dwNumberOfProcessors) - 1);
    info->dwProcessorType = 8664; // PROCESSOR_AMD_X8664
}
