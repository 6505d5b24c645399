#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h) CloseHandle(h);
    }
};

// Starts n threads that each wait once on the event and count their release.
std::vector<std::thread> startWaiters(HANDLE event, int n, std::atomic<int> &released)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([event, &released] {
            if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++released;
        });
    return threads;
}

void waitUntil(const std::function<bool()> &done)
{
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

TEST(Events, AutoResetReleasesOneWaiterPerSet)
{
    Handle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::atomic<int> released{0};
    auto threads = startWaiters(event.h, 3, released);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(released, 0);

    SetEvent(event.h);
    waitUntil([&] { return released == 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(released, 1) << "one SetEvent on an auto-reset event releases exactly one waiter";

    SetEvent(event.h);
    waitUntil([&] { return released == 2; });
    SetEvent(event.h); // a second set before a waiter took the first would be lost, as on Windows
    for (auto &t : threads) t.join();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(WaitForSingleObject(event.h, 0), (DWORD)WAIT_TIMEOUT) << "the last release consumed the signal";
}

TEST(Events, ManualResetReleasesAllAndStaysSignaled)
{
    Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> released{0};
    auto threads = startWaiters(event.h, 3, released);
    SetEvent(event.h);
    for (auto &t : threads) t.join();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(WaitForSingleObject(event.h, 0), (DWORD)WAIT_OBJECT_0);
    ResetEvent(event.h);
    EXPECT_EQ(WaitForSingleObject(event.h, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Events, InitialStateIsHonoured)
{
    Handle on(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(on.h, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(on.h, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Events, WaitAnyReturnsLowestSignaledIndexAndConsumesOnlyIt)
{
    Handle a(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle b(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle c(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    HANDLE all[3] = {a.h, b.h, c.h};
    SetEvent(c.h);
    SetEvent(b.h);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), (DWORD)WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), (DWORD)WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), (DWORD)WAIT_TIMEOUT);
}

TEST(Events, WaitAllNeedsEverySignal)
{
    Handle a(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle b(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE both[2] = {a.h, b.h};
    SetEvent(a.h);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a.h, 0), (DWORD)WAIT_OBJECT_0) << "a failed wait-all consumes nothing";
    SetEvent(a.h);
    SetEvent(b.h);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a.h, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b.h, 0), (DWORD)WAIT_OBJECT_0);
}

TEST(Events, TimeoutElapsesWithoutSignal)
{
    Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event.h, 30), (DWORD)WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Events, BadHandlesAndArgumentsFail)
{
    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(&notAHandle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(&notAHandle));
    EXPECT_FALSE(CloseHandle(&notAHandle));
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event)) << "a handle closes once";
    EXPECT_EQ(WaitForMultipleObjects(0, nullptr, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"named"), nullptr);
}

} // namespace
