// The trace line and the worker thread's command channel.
#include "common/MyThread.h"
#include "common/MyTrace.h"

#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <regex>

namespace {

TEST(MyTrace, PrefixedLinesOfAtMost255MessageCharacters)
{
    orvex::test::DebugCapture capture;
    MyTrace("Not selfReference media \n");
    const char *windowsFormat = "fileSize = %I64u \n"; // not a format the compiler checks
    MyTrace(windowsFormat, 4294967296ULL);
    for (size_t length : {255, 256}) // 256 characters write nothing, not a cut line
        MyTrace("%s", std::string(length, 'm').c_str());
    std::string prefix = "[0-9]+ \\[" + std::to_string(GetCurrentThreadId()) + "\\] : ";
    EXPECT_TRUE(std::regex_match(capture.lines()[0], std::regex(prefix + "Not selfReference media \n")));
    std::string messages;
    for (const std::string &line : capture.messages())
        messages += line + "|";
    EXPECT_EQ("Not selfReference media \n|fileSize = 4294967296 \n|" + std::string(255, 'm') + "|", messages);
}

// A worker as its users write one: commands between units of work, each
// answered with 100 + the number of commands seen; it notes them as R, P, X.
class Worker : public CMyThread {
public:
    bool postRunOnPause = false; // a run arrives between seeing a pause and answering it
    ~Worker() override
    {
        if (IsRunning()) CallWorker(THREAD_CMD_EXIT);
    }
    // The commands seen once n replies have gone out; "" when they never do.
    std::string SeenAfter(size_t n)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_replied.wait_for(lock, std::chrono::seconds(20), [&] { return m_replies >= n; }) ? m_seen : "";
    }

protected:
    DWORD ThreadProc() override
    {
        for (DWORD timeout = INFINITE, cmd = 0;;) {
            if (!CheckRequest(timeout, &cmd)) continue; // a unit of work
            std::unique_lock<std::mutex> lock(m_lock);
            m_seen += cmd == THREAD_CMD_RUN ? 'R' : cmd == THREAD_CMD_PAUSE ? 'P' : 'X';
            DWORD reply = cmd == THREAD_CMD_EXIT ? 0 : 100 + (DWORD)m_seen.size();
            lock.unlock();
            if (cmd == THREAD_CMD_PAUSE && postRunOnPause) {
                postRunOnPause = false;
                PostRequest(THREAD_CMD_RUN);
            }
            timeout = cmd == THREAD_CMD_RUN ? 0 : INFINITE;
            Reply(reply);
            lock.lock();
            ++m_replies;
            m_replied.notify_all();
            if (cmd == THREAD_CMD_EXIT) return 7;
        }
    }

private:
    std::mutex m_lock;
    std::condition_variable m_replied;
    std::string m_seen;
    size_t m_replies = 0;
};

TEST(MyThread, CommandsRepliesAndLifetime)
{
    Worker w;
    EXPECT_EQ((DWORD)E_FAIL, w.CallWorker(THREAD_CMD_RUN)) << "not started";
    ASSERT_TRUE(w.Create());
    EXPECT_FALSE(w.Create()) << "already running";
    std::string replies = std::to_string(w.CallWorker(THREAD_CMD_RUN)) + " ";
    // A command posted while busy is taken between units; its reply, which
    // nobody waits for, does not answer the next call.
    w.PostRequest(THREAD_CMD_PAUSE);
    ASSERT_EQ("RP", w.SeenAfter(2));
    replies += std::to_string(w.CallWorker(THREAD_CMD_RUN)) + " ";
    w.postRunOnPause = true;
    w.PostRequest(THREAD_CMD_PAUSE);
    EXPECT_EQ("RPRPR", w.SeenAfter(5)) << "the run that overtook the pause was lost";
    replies += std::to_string(w.CallWorker(THREAD_CMD_EXIT)) + " ";
    replies += std::to_string(w.CallWorker(THREAD_CMD_RUN));
    EXPECT_EQ("101 103 0 " + std::to_string((DWORD)E_FAIL), replies) << "finished";

    class Quitter : public CMyThread {
        DWORD ThreadProc() override { return CheckRequest(INFINITE) ? 1 : 2; } // leaves without a reply
    } q;
    ASSERT_TRUE(q.Create());
    EXPECT_EQ((DWORD)E_FAIL, q.CallWorker(THREAD_CMD_EXIT)) << "a dead worker does not hang its caller";
}

} // namespace
