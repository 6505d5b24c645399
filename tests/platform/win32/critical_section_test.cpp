#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_EQ(cs.RecursionCount, 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(cs.OwningThread), GetCurrentThreadId());

    BOOL otherGot = TRUE;
    std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(otherGot);

    LeaveCriticalSection(&cs);
    std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(otherGot) << "still held once";

    LeaveCriticalSection(&cs);
    EXPECT_EQ(cs.OwningThread, nullptr);
    std::thread([&] {
        otherGot = TryEnterCriticalSection(&cs);
        if (otherGot) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(otherGot);
    DeleteCriticalSection(&cs);
}
