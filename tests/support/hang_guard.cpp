#include "support/hang_guard.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace orvex::test {

void expectReturns(const char *what, const std::function<void()> &call, unsigned boundMs)
{
    struct State {
        std::mutex lock;
        std::condition_variable done;
        bool returned = false;
    };
    auto state = std::make_shared<State>();
    std::thread worker([state, &call] {
        call();
        std::lock_guard<std::mutex> guard(state->lock);
        state->returned = true;
        state->done.notify_all();
    });
    std::unique_lock<std::mutex> guard(state->lock);
    if (!state->done.wait_for(guard, std::chrono::milliseconds(boundMs), [&] { return state->returned; })) {
        std::fprintf(stderr, "FAILED: %s did not return: a hang\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
    guard.unlock();
    worker.join();
}

void Flag::set()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_set = true;
    m_changed.notify_all();
}

bool Flag::wait(unsigned boundMs)
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(boundMs), [this] { return m_set; });
}

} // namespace orvex::test
