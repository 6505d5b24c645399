// The system reference clock: monotonic 100-ns time and advise requests.
#include <dshow.h>

#include <gtest/gtest.h>

#include <ctime>

namespace {

REFERENCE_TIME monotonicNow()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<REFERENCE_TIME>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

class SystemClock : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                         reinterpret_cast<void **>(&m_clock)));
        m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override
    {
        if (m_clock) {
            EXPECT_EQ(0u, m_clock->Release());
        }
        CloseHandle(m_event);
    }
    REFERENCE_TIME now()
    {
        REFERENCE_TIME t = 0;
        m_clock->GetTime(&t);
        return t;
    }
    HEVENT event() const { return reinterpret_cast<HEVENT>(m_event); }

    IReferenceClock *m_clock = nullptr;
    HANDLE m_event = nullptr;
};

TEST_F(SystemClock, TimeIsTheMonotonicClockInHundredsOfNanoseconds)
{
    REFERENCE_TIME before = monotonicNow();
    REFERENCE_TIME t = now();
    REFERENCE_TIME after = monotonicNow();
    EXPECT_LE(before, t);
    EXPECT_LE(t, after);
    REFERENCE_TIME previous = t;
    for (int i = 0; i < 1000; ++i) {
        REFERENCE_TIME next = 0;
        HRESULT hr = m_clock->GetTime(&next);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
        EXPECT_GE(next, previous) << "never runs backwards";
        if (hr == S_FALSE) {
            EXPECT_EQ(previous, next) << "S_FALSE means the time has not moved";
        }
        previous = next;
    }
    EXPECT_EQ(E_POINTER, m_clock->GetTime(nullptr));
}

TEST_F(SystemClock, AdviseTimeSignalsTheEventOnceTheTimeHasCome)
{
    REFERENCE_TIME base = now();
    REFERENCE_TIME stream = 20 * 10000; // 20 ms
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, m_clock->AdviseTime(base, stream, event(), &cookie));
    EXPECT_NE(0u, cookie);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(m_event, 10000));
    EXPECT_GE(now(), base + stream);
    EXPECT_EQ(S_FALSE, m_clock->Unadvise(cookie)) << "a single advise is gone once signaled";
}

TEST_F(SystemClock, AdviseInThePastSignalsAtOnce)
{
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, m_clock->AdviseTime(1, 0, event(), &cookie));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(m_event, 10000));
}

TEST_F(SystemClock, AdvisePeriodicSignalsEveryPeriodUntilUnadvised)
{
    REFERENCE_TIME period = 5 * 10000; // 5 ms
    REFERENCE_TIME start = now() + period;
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, m_clock->AdvisePeriodic(start, period, reinterpret_cast<HSEMAPHORE>(m_event), &cookie));
    REFERENCE_TIME last = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(m_event, 10000));
        REFERENCE_TIME t = now();
        EXPECT_GE(t, start + i * period) << "signal " << i;
        EXPECT_GT(t, last);
        last = t;
    }
    EXPECT_EQ(S_OK, m_clock->Unadvise(cookie));
    EXPECT_EQ(S_FALSE, m_clock->Unadvise(cookie));
}

TEST_F(SystemClock, UnadviseCancelsAPendingAdvise)
{
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, m_clock->AdviseTime(now(), 3600LL * 10000000, event(), &cookie)); // an hour ahead
    EXPECT_EQ(S_OK, m_clock->Unadvise(cookie));
    EXPECT_EQ(S_FALSE, m_clock->Unadvise(cookie));
    EXPECT_EQ(S_FALSE, m_clock->Unadvise(12345));
}

TEST_F(SystemClock, BadAdviseRequestsAreRefused)
{
    DWORD_PTR cookie = 0;
    EXPECT_EQ(E_POINTER, m_clock->AdviseTime(now(), 0, event(), nullptr));
    EXPECT_EQ(E_INVALIDARG, m_clock->AdviseTime(now(), 0, 0, &cookie));
    EXPECT_EQ(E_INVALIDARG, m_clock->AdviseTime(0, 0, event(), &cookie)) << "time 0 is before the clock began";
    EXPECT_EQ(E_INVALIDARG, m_clock->AdviseTime(0x7FFFFFFFFFFFFFFF, 10, event(), &cookie)) << "the sum would wrap";
    EXPECT_EQ(E_INVALIDARG, m_clock->AdvisePeriodic(now(), 0, reinterpret_cast<HSEMAPHORE>(m_event), &cookie));
    EXPECT_EQ(E_INVALIDARG, m_clock->AdvisePeriodic(0, 10, reinterpret_cast<HSEMAPHORE>(m_event), &cookie));
    EXPECT_EQ(E_INVALIDARG, m_clock->AdvisePeriodic(now(), 10, 0, &cookie));
}

TEST_F(SystemClock, ClockWithPendingAdvisesCanBeReleased)
{
    DWORD_PTR cookie = 0;
    ASSERT_EQ(S_OK, m_clock->AdviseTime(now(), 3600LL * 10000000, event(), &cookie));
    ASSERT_EQ(S_OK, m_clock->AdvisePeriodic(now() + 3600LL * 10000000, 10000, reinterpret_cast<HSEMAPHORE>(m_event),
                                            &cookie));
    EXPECT_EQ(0u, m_clock->Release()) << "the timer thread ends with the clock";
    m_clock = nullptr;
}

} // namespace
