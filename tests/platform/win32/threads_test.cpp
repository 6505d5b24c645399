#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Gate {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> threadId{0};
    ~Gate() { CloseHandle(release); }
};

DWORD WINAPI waitForGate(LPVOID p)
{
    auto *gate = static_cast<Gate *>(p);
    gate->threadId = GetCurrentThreadId();
    WaitForSingleObject(gate->release, INFINITE);
    return 42;
}

TEST(Threads, HandleSignalsWhenTheThreadReturnsWithItsExitCode)
{
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitForGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), (DWORD)WAIT_TIMEOUT);

    SetEvent(gate.release);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_OBJECT_0) << "a finished thread stays signaled";
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(gate.threadId.load(), id) << "the identifier given matches the thread's own";
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, WaitAnyOverEventAndThread)
{
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, waitForGate, &gate, 0, nullptr);
    HANDLE other = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[2] = {other, thread};
    SetEvent(gate.release);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 5000), (DWORD)WAIT_OBJECT_0 + 1);
    CloseHandle(other);
    CloseHandle(thread);
}

TEST(Threads, ClosingTheHandleOfARunningThreadLetsItFinish)
{
    Gate gate;
    HANDLE thread = CreateThread(nullptr, 0, waitForGate, &gate, 0, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    SetEvent(gate.release);
    while (gate.threadId == 0) Sleep(1);
}

TEST(Threads, SystemFigures)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GT(info.dwPageSize, 0u);
    DWORD t0 = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - t0, 15u);
    EXPECT_NE(GetCurrentThreadId(), 0u);
}

} // namespace
