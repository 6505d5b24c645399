// Runs a call that must return and turns a hang into a failure: a deadlocked
// test cannot be cleaned up, so the process ends with a message instead of
// waiting for the test runner's time limit. The bound guards against hangs;
// it is not a timing check.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace orvex::test {

void expectReturns(const char *what, const std::function<void()> &call, unsigned boundMs = 20000);

// A one-shot mark one thread sets and another waits for.
class Flag {
public:
    void set();
    // False when the bound passes first.
    bool wait(unsigned boundMs = 20000);

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_set = false;
};

} // namespace orvex::test
