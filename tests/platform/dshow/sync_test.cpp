// CCritSec, CAutoLock, CAMEvent, CRefTime, FOURCCMap and AMGetWideString.
#include "fourcc.h"
#include "reftime.h"
#include "wxutil.h"

#include <uuids.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(CCritSec, KnowsItsOwnerThroughRecursion)
{
    CCritSec lock;
    EXPECT_FALSE(CritCheckIn(&lock));
    {
        CAutoLock a(&lock);
        EXPECT_TRUE(CritCheckIn(&lock));
        {
            CAutoLock b(&lock);
            EXPECT_TRUE(CritCheckIn(&lock));
        }
        EXPECT_TRUE(CritCheckIn(&lock)) << "still held by the outer lock";
        BOOL otherThreadSees = TRUE;
        std::thread([&] { otherThreadSees = CritCheckIn(&lock); }).join();
        EXPECT_FALSE(otherThreadSees);
    }
    EXPECT_TRUE(CritCheckOut(&lock));
}

TEST(CAMEvent, AutomaticResetWakesOnce)
{
    CAMEvent ev;
    EXPECT_FALSE(ev.Check());
    ev.Set();
    EXPECT_TRUE(ev.Check());
    EXPECT_FALSE(ev.Check()) << "the wait took the signal";
    ev.Set();
    BOOL woke = FALSE;
    std::thread([&] { woke = ev.Wait(); }).join();
    EXPECT_TRUE(woke);
}

TEST(CAMEvent, ManualResetStaysSignalled)
{
    HRESULT hr = S_OK;
    CAMEvent ev(TRUE, &hr);
    EXPECT_EQ(S_OK, hr);
    EXPECT_NE(nullptr, static_cast<HANDLE>(ev));
    ev.Set();
    EXPECT_TRUE(ev.Check());
    EXPECT_TRUE(ev.Check());
    ev.Reset();
    EXPECT_FALSE(ev.Wait(0));
}

TEST(CRefTime, ConvertsMillisecondsAndUnits)
{
    CRefTime ms(LONG(1500));
    EXPECT_EQ(15000000, ms.GetUnits()) << "a 32-bit integer is milliseconds";
    CRefTime units(REFERENCE_TIME(15000000));
    EXPECT_EQ(1500, units.Millisecs());
    CRefTime t;
    EXPECT_EQ(0, REFERENCE_TIME(t));
    t = LONGLONG(200);
    t += CRefTime(REFERENCE_TIME(50));
    t -= CRefTime(REFERENCE_TIME(20));
    EXPECT_EQ(230, REFERENCE_TIME(t));
    EXPECT_EQ(10000000, UNITS);
}

TEST(FOURCCMap, BuildsTheFourccSubtype)
{
    FOURCCMap yv12(MAKEFOURCC('Y', 'V', '1', '2'));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_YV12, yv12));
    EXPECT_EQ(MAKEFOURCC('Y', 'V', '1', '2'), yv12.GetFOURCC());
    FOURCCMap pcm(WAVE_FORMAT_PCM);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, pcm));
    FOURCCMap copy(&MEDIASUBTYPE_RGB24);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB24, copy));
}

TEST(AMGetWideString, CopiesIntoTaskMemory)
{
    LPWSTR s = nullptr;
    ASSERT_EQ(S_OK, AMGetWideString(L"XForm In", &s));
    EXPECT_STREQ(L"XForm In", s);
    CoTaskMemFree(s);
    EXPECT_EQ(E_POINTER, AMGetWideString(L"x", nullptr));
}

} // namespace
