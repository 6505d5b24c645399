#include "common/MyThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

// A worker following the loop its users build: commands between units of work.
class LoopWorker : public CMyThread {
public:
    std::atomic<int> units{0};
    std::atomic<bool> paused{true};
    std::vector<DWORD> seen; // commands in the order the worker saw them
    // In gated mode each unit signals inUnit and waits for one unitToken.
    std::atomic<bool> gated{false};
    HANDLE unitToken = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE inUnit = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::function<void(DWORD)> beforeReply;

    ~LoopWorker() override
    {
        if (IsRunning()) CallWorker(THREAD_CMD_EXIT);
        CloseHandle(unitToken);
        CloseHandle(inUnit);
    }

protected:
    DWORD ThreadProc() override
    {
        DWORD timeout = INFINITE;
        for (;;) {
            DWORD cmd = 0;
            if (CheckRequest(timeout, &cmd)) {
                seen.push_back(cmd);
                if (beforeReply) beforeReply(cmd);
                if (cmd != THREAD_CMD_EXIT) paused = cmd == THREAD_CMD_PAUSE; // visible once the reply is
                Reply(cmd == THREAD_CMD_EXIT ? 0 : 100 + static_cast<DWORD>(seen.size()));
                if (cmd == THREAD_CMD_EXIT) return 7;
                timeout = paused ? INFINITE : 0;
                continue;
            }
            if (gated) {
                SetEvent(inUnit);
                WaitForSingleObject(unitToken, INFINITE);
            }
            ++units;
        }
    }
};

class ReturnsAtOnce : public CMyThread {
protected:
    DWORD ThreadProc() override { return 3; }
};

TEST(MyThread, CallsBeforeCreateAndAfterReturnFailAtOnce)
{
    ReturnsAtOnce t;
    EXPECT_EQ(t.CallWorker(THREAD_CMD_RUN), (DWORD)E_FAIL);
    t.PostRequest(THREAD_CMD_RUN); // ignored
    ASSERT_TRUE(t.Create());
    while (t.IsRunning()) Sleep(1);
    EXPECT_EQ(t.CallWorker(THREAD_CMD_EXIT), (DWORD)E_FAIL);
    EXPECT_TRUE(t.Create()) << "a finished thread may be started again";
    while (t.IsRunning()) Sleep(1); // users end their thread before destruction
}

TEST(MyThread, CreateWhileRunningRefuses)
{
    LoopWorker w;
    ASSERT_TRUE(w.Create());
    EXPECT_FALSE(w.Create());
    EXPECT_EQ(w.CallWorker(THREAD_CMD_EXIT), 0u);
}

TEST(MyThread, NeverStartedDestructsAtOnce)
{
    LoopWorker w; // nothing to join
}

TEST(MyThread, CommandsRoundTripWithReplies)
{
    LoopWorker w;
    ASSERT_TRUE(w.Create());
    EXPECT_EQ(w.CallWorker(THREAD_CMD_RUN), 101u);
    while (w.units < 3) Sleep(0);
    EXPECT_EQ(w.CallWorker(THREAD_CMD_PAUSE), 102u);
    EXPECT_TRUE(w.paused);
    EXPECT_EQ(w.CallWorker(THREAD_CMD_EXIT), 0u);
}

TEST(MyThread, PostedCommandIsSeenAtTheNextCheckWhileBusy)
{
    LoopWorker w;
    ASSERT_TRUE(w.Create());
    w.gated = true;
    ASSERT_EQ(w.CallWorker(THREAD_CMD_RUN), 101u);
    WaitForSingleObject(w.inUnit, INFINITE); // the worker is inside its first unit
    w.PostRequest(THREAD_CMD_PAUSE);
    SetEvent(w.unitToken);
    while (!w.paused) Sleep(0);
    EXPECT_EQ(w.units, 1) << "the command is taken right after the unit in progress";
    EXPECT_EQ(w.CallWorker(THREAD_CMD_EXIT), 0u);
}

TEST(MyThread, StaleReplyToAPostDoesNotAnswerTheNextCall)
{
    LoopWorker w;
    ASSERT_TRUE(w.Create());
    w.PostRequest(THREAD_CMD_RUN);
    while (w.paused) Sleep(0); // the worker replied to the post; nobody waited
    Sleep(5);
    // The next call must get the reply to its own command.
    w.beforeReply = [](DWORD cmd) {
        if (cmd == THREAD_CMD_PAUSE) Sleep(30);
    };
    EXPECT_EQ(w.CallWorker(THREAD_CMD_PAUSE), 102u);
    EXPECT_TRUE(w.paused);
    w.beforeReply = nullptr;
    EXPECT_EQ(w.CallWorker(THREAD_CMD_EXIT), 0u);
}

TEST(MyThread, RunThatOvertakesAPauseInProgressIsNotLost)
{
    LoopWorker w;
    ASSERT_TRUE(w.Create());
    ASSERT_EQ(w.CallWorker(THREAD_CMD_RUN), 101u);
    HANDLE pauseSeen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE runPosted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w.beforeReply = [&](DWORD cmd) {
        if (cmd == THREAD_CMD_PAUSE) { // the worker has read the pause, the run arrives before its reply
            SetEvent(pauseSeen);
            WaitForSingleObject(runPosted, 5000);
        }
    };
    w.PostRequest(THREAD_CMD_PAUSE);
    WaitForSingleObject(pauseSeen, INFINITE);
    std::atomic<DWORD> runReply{0};
    HANDLE caller = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread seek([&] {
        runReply = w.CallWorker(THREAD_CMD_RUN);
        SetEvent(caller);
    });
    Sleep(20); // the run is handed over while the pause is being answered
    SetEvent(runPosted);
    EXPECT_EQ(WaitForSingleObject(caller, 5000), (DWORD)WAIT_OBJECT_0);
    seek.join();
    EXPECT_EQ(runReply.load(), 103u) << "the run got its own reply";
    EXPECT_FALSE(w.paused) << "and the worker works again";
    w.beforeReply = nullptr;
    EXPECT_EQ(w.CallWorker(THREAD_CMD_EXIT), 0u);
    CloseHandle(pauseSeen);
    CloseHandle(runPosted);
    CloseHandle(caller);
}

TEST(MyThread, WorkerThatEndsWithoutReplyingDoesNotHangTheCaller)
{
    class Quitter : public CMyThread {
    protected:
        DWORD ThreadProc() override
        {
            CheckRequest(INFINITE);
            return 1; // leaves without Reply
        }
    } q;
    ASSERT_TRUE(q.Create());
    EXPECT_EQ(q.CallWorker(THREAD_CMD_EXIT), (DWORD)E_FAIL);
}

} // namespace
