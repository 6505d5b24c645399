// Kernel objects as on Windows: auto- and manual-reset events, wait-any and
// wait-all over events and threads, thread handles and exit codes, recursive
// critical sections, and the refusals of bad handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Bounded only so that a fault fails the test instead of hanging it.
constexpr DWORD kLong = 20000;

DWORD WINAPI waitOnEvent(LPVOID event)
{
    return WaitForSingleObject(static_cast<HANDLE>(event), kLong) == WAIT_OBJECT_0 ? 42 : 1;
}

TEST(Events, ResetKindAndInitialStateDecideWhatAWaitSees)
{
    // S: set, R: reset, w: a wait that does not block, answered 1 (signaled) or 0.
    struct Case {
        BOOL manual, initial;
        const char *ops, *expected;
    } cases[] = {
        {FALSE, FALSE, "wSwwSSw", "0101"}, // a wait takes the signal; sets do not add up
        {TRUE, FALSE, "wSwwRw", "0110"},   // signaled until reset
        {FALSE, TRUE, "ww", "10"},
        {TRUE, TRUE, "wwRwSw", "1101"},
    };
    for (const Case &c : cases) {
        HANDLE event = CreateEventW(nullptr, c.manual, c.initial, nullptr);
        std::string seen;
        for (const char *op = c.ops; *op; ++op) {
            if (*op == 'S') SetEvent(event);
            if (*op == 'R') ResetEvent(event);
            if (*op == 'w') seen += WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? '1' : '0';
        }
        EXPECT_EQ(c.expected, seen) << c.ops << (c.manual ? " manual" : " auto");
        CloseHandle(event);
    }
}

TEST(Events, WaitAnyTakesTheLowestSignaledIndexOnlyAndWaitAllTakesAll)
{
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr), b = CreateEventW(nullptr, FALSE, FALSE, nullptr),
           c = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE all[3] = {a, b, c};
    SetEvent(c);
    SetEvent(b);
    EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, all, FALSE, 0));
    EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, all, FALSE, 0));
    EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, all, FALSE, 0)) << "the manual one stays signaled";
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForMultipleObjects(3, all, TRUE, 0));
    SetEvent(a);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForMultipleObjects(3, all, TRUE, 0));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(a, 0)) << "a failed wait-all takes nothing";
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForMultipleObjects(3, all, TRUE, 0));
    EXPECT_EQ("001", std::string() + (WaitForSingleObject(a, 0) == WAIT_OBJECT_0 ? '1' : '0') +
                         (WaitForSingleObject(b, 0) == WAIT_OBJECT_0 ? '1' : '0') +
                         (WaitForSingleObject(c, 0) == WAIT_OBJECT_0 ? '1' : '0'));
    for (HANDLE h : all)
        CloseHandle(h);
}

TEST(Events, ASetWakesBlockedThreadsEveryOneOnManualOneEachOnAuto)
{
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
        std::vector<HANDLE> threads;
        for (int i = 0; i < 3; ++i)
            threads.push_back(CreateThread(nullptr, 0, waitOnEvent, event, 0, nullptr));
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(threads[0], &code));
        EXPECT_EQ((DWORD)STILL_ACTIVE, code);
        if (manual) {
            SetEvent(event);
            EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForMultipleObjects(3, threads.data(), TRUE, kLong));
        }
        for (std::vector<HANDLE> left = threads; !manual && !left.empty();) {
            SetEvent(event);
            DWORD i =
                WaitForMultipleObjects(static_cast<DWORD>(left.size()), left.data(), FALSE, kLong) - WAIT_OBJECT_0;
            ASSERT_LT(i, left.size());
            left.erase(left.begin() + i);
            EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(event, 0)) << "the woken thread took the signal";
        }
        for (HANDLE t : threads) {
            EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(t, 0)) << "a finished thread stays signaled";
            ASSERT_TRUE(GetExitCodeThread(t, &code));
            EXPECT_EQ(42u, code);
            EXPECT_TRUE(CloseHandle(t));
        }
        CloseHandle(event);
    }
}

TEST(Threads, AnIdentifierOfItsOwnAndAHandleThatMayCloseFirst)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitOnEvent, gate, 0, &id);
    EXPECT_NE(0u, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    EXPECT_TRUE(CloseHandle(thread)) << "the thread goes on without its handle";
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    SetEvent(gate);
    CloseHandle(gate);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GT(info.dwPageSize, 0u);
}

TEST(Events, BadHandlesAndArgumentsFail)
{
    int notAHandle = 0;
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(&notAHandle, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(SetEvent(&notAHandle));
    EXPECT_FALSE(CloseHandle(&notAHandle));
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event)) << "a handle closes once";
    EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(0, nullptr, FALSE, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(nullptr, CreateEventW(nullptr, TRUE, FALSE, L"named"));
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    auto otherGets = [&] {
        BOOL got = FALSE;
        std::thread([&] {
            got = TryEnterCriticalSection(&cs);
            if (got) LeaveCriticalSection(&cs);
        }).join();
        return got;
    };
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_EQ(2, cs.RecursionCount);
    EXPECT_EQ(GetCurrentThreadId(), reinterpret_cast<uintptr_t>(cs.OwningThread));
    EXPECT_FALSE(otherGets());
    LeaveCriticalSection(&cs);
    EXPECT_FALSE(otherGets()) << "still held once";
    LeaveCriticalSection(&cs);
    EXPECT_EQ(nullptr, cs.OwningThread);
    EXPECT_TRUE(otherGets());
    DeleteCriticalSection(&cs);
}

} // namespace
