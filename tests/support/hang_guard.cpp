#include "support/hang_guard.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace orvex::test {

void expectReturns(const char *what, const std::function<void()> &call, unsigned boundMs)
{
    std::future<void> returned = std::async(std::launch::async, call);
    if (returned.wait_for(std::chrono::milliseconds(boundMs)) == std::future_status::timeout) {
        std::fprintf(stderr, "FAILED: %s did not return: a hang\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
    returned.get();
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
