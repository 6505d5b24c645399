// The decode filter's queues with real threads: order, blocking pops, abort
// and reset, clearing, the taken event that paces the producer, the time
// records and the pending quality message.
#include "sample_pool.h"

#include "H264DecodeFilter/MyInputDataQueue.h"
#include "H264DecodeFilter/MyOutputDataQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace wrapper_test;

namespace {

using Bytes = std::vector<uint8_t>;

bool IsSignalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

struct Counted {
    explicit Counted(int v, std::atomic<int> *deletions = nullptr) : value(v), deleted(deletions) {}
    ~Counted()
    {
        if (deleted) ++*deleted;
    }
    int value;
    std::atomic<int> *deleted;
};

// --- the templates -----------------------------------------------------------

TEST(MyQueue, PopsInPushOrderAndAnswersNullWhenEmpty)
{
    CCritSec lock;
    CMyQueue<Counted> queue(L"Test", &lock);
    EXPECT_EQ(queue.Pop(), nullptr);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(queue.Push(new Counted(i)));
    EXPECT_EQ(queue.GetCount(), 5u);
    for (int i = 0; i < 5; ++i) {
        std::unique_ptr<Counted> record(queue.Pop());
        ASSERT_TRUE(record);
        EXPECT_EQ(record->value, i);
    }
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_EQ(queue.Pop(), nullptr);
}

TEST(MyQueue, ClearDeletesEveryQueuedRecord)
{
    CCritSec lock;
    std::atomic<int> deleted{0};
    CMyQueue<Counted> queue(L"Test", &lock);
    for (int i = 0; i < 300; ++i) // more than the node cache holds
        queue.Push(new Counted(i, &deleted));
    queue.Clear();
    EXPECT_EQ(deleted.load(), 300);
    EXPECT_EQ(queue.GetCount(), 0u);
    queue.Push(new Counted(1, &deleted));
    EXPECT_EQ(queue.GetCount(), 1u);
    queue.Clear();
    EXPECT_EQ(deleted.load(), 301);
}

TEST(MyWaitQueue, PushSetsNoEventPushAndSignalSetsTheDataEvent)
{
    CCritSec lock;
    CMyWaitQueue<Counted> queue(L"Test", &lock);
    queue.Push(new Counted(1));
    EXPECT_FALSE(IsSignalled(queue.GetDataEvent()));
    queue.PushAndSignal(new Counted(2));
    EXPECT_TRUE(IsSignalled(queue.GetDataEvent()));
    EXPECT_FALSE(IsSignalled(queue.GetDataEvent())) << "the data event resets itself";
    EXPECT_FALSE(IsSignalled(queue.GetAbortEvent()));
    queue.Clear();
}

TEST(MyWaitQueue, AbortEventStaysSetUntilReset)
{
    CCritSec lock;
    CMyWaitQueue<Counted> queue(L"Test", &lock);
    queue.Abort();
    EXPECT_TRUE(IsSignalled(queue.GetAbortEvent()));
    EXPECT_TRUE(IsSignalled(queue.GetAbortEvent()));
    queue.PushAndSignal(new Counted(1));
    queue.ResetEvents();
    EXPECT_FALSE(IsSignalled(queue.GetAbortEvent()));
    EXPECT_FALSE(IsSignalled(queue.GetDataEvent()));
    queue.Clear();
}

// --- input data queue ----------------------------------------------------------

TEST(InputDataQueue, IsNamedAndStartsEmpty)
{
    CMyInputDataQueue queue;
    EXPECT_EQ(std::wstring(queue.GetName()), L"MyInputDataQueue");
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_EQ(queue.TryPop(), nullptr);
}

TEST(InputDataQueue, RecordsComeOutInPushOrderWithTheirKinds)
{
    SamplePool pool(3, 64);
    CMyInputDataQueue queue;
    SamplePtr a = pool.Make(LengthPrefixed({{0x65, 1}}));
    SamplePtr b = pool.Make(LengthPrefixed({{0x41, 2}, {0x41, 3}}));
    EXPECT_EQ(queue.PushSample(a.get()), S_OK);
    EXPECT_EQ(queue.PushSample(b.get()), S_OK);
    EXPECT_EQ(queue.PushEndOfStream(), S_OK);
    EXPECT_EQ(queue.GetCount(), 3u);

    auto first = queue.WaitPop();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->m_kind, CMyInputMediaSampleData::kSample);
    ASSERT_TRUE(first->m_pData);
    EXPECT_EQ(first->m_pData->GetSample(), a.get());
    auto second = queue.WaitPop();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->m_pData->GetNALCount(), 2u);
    auto marker = queue.WaitPop();
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->m_kind, CMyInputMediaSampleData::kEndOfStream);
    EXPECT_EQ(marker->m_pData, nullptr);
    EXPECT_EQ(queue.GetCount(), 0u);
}

TEST(InputDataQueue, NullSampleIsRefusedAndNothingQueued)
{
    CMyInputDataQueue queue;
    EXPECT_EQ(queue.PushSample(nullptr), E_POINTER);
    EXPECT_EQ(queue.GetCount(), 0u);
}

TEST(InputDataQueue, EmptySampleIsQueuedAndCounted)
{
    SamplePool pool(1, 16);
    CMyInputDataQueue queue;
    SamplePtr empty = pool.Make(Bytes{});
    EXPECT_EQ(queue.PushSample(empty.get()), S_OK);
    EXPECT_EQ(queue.GetCount(), 1u);
    auto record = queue.TryPop();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->m_pData->GetNALCount(), 0u);
}

TEST(InputDataQueue, WaitPopBlocksUntilAPushFromAnotherThread)
{
    SamplePool pool(1, 64);
    CMyInputDataQueue queue;
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    SamplePtr sample = pool.Make(LengthPrefixed({{0x65}}));
    queue.PushSample(sample.get());
    auto record = popped.get();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->m_pData->GetSample(), sample.get());
}

TEST(InputDataQueue, AbortWakesAWaitingPopWithNull)
{
    CMyInputDataQueue queue;
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.Abort();
    EXPECT_EQ(popped.get(), nullptr);
}

TEST(InputDataQueue, AfterAbortPopsAnswerNullUntilResetThenRecordsInOrder)
{
    SamplePool pool(3, 64);
    CMyInputDataQueue queue;
    std::vector<SamplePtr> samples;
    for (int i = 0; i < 3; ++i) {
        samples.push_back(pool.Make(LengthPrefixed({{0x65, uint8_t(i)}})));
        queue.PushSample(samples.back().get());
    }
    queue.Abort();
    EXPECT_EQ(queue.WaitPop(), nullptr);
    EXPECT_EQ(queue.WaitPop(), nullptr);
    EXPECT_EQ(queue.TryPop(), nullptr);
    EXPECT_EQ(queue.GetCount(), 3u) << "an abort drops nothing";
    queue.ResetEvents();
    for (int i = 0; i < 3; ++i) {
        auto record = queue.WaitPop();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->m_pData->GetSample(), samples[i].get());
    }
}

TEST(InputDataQueue, PushesMadeWhileTheConsumerWasBusyAreAllTaken)
{
    // The data event is set three times but holds only one wake-up; every
    // record still comes out, one per WaitPop, without waiting.
    SamplePool pool(3, 64);
    CMyInputDataQueue queue;
    std::vector<SamplePtr> samples;
    for (int i = 0; i < 3; ++i) {
        samples.push_back(pool.Make(LengthPrefixed({{0x65}})));
        queue.PushSample(samples.back().get());
    }
    for (int i = 0; i < 3; ++i) {
        auto record = queue.WaitPop();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->m_pData->GetSample(), samples[i].get());
    }
    EXPECT_EQ(queue.TryPop(), nullptr);
}

TEST(InputDataQueue, ClearReleasesTheUpstreamSamples)
{
    SamplePool pool(4, 64);
    CMyInputDataQueue queue;
    for (int i = 0; i < 4; ++i) {
        SamplePtr sample = pool.Make(LengthPrefixed({{0x65}}));
        queue.PushSample(sample.get());
    }
    queue.PushEndOfStream();
    EXPECT_EQ(pool.FreeCount(), 0);
    queue.Clear();
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_EQ(pool.FreeCount(), 4);
}

TEST(InputDataQueue, DestroyingTheQueueReleasesWhatItHolds)
{
    SamplePool pool(2, 64);
    {
        CMyInputDataQueue queue;
        for (int i = 0; i < 2; ++i) {
            SamplePtr sample = pool.Make(LengthPrefixed({{0x65}}));
            queue.PushSample(sample.get());
        }
        EXPECT_EQ(pool.FreeCount(), 0);
    }
    EXPECT_EQ(pool.FreeCount(), 2);
}

TEST(InputDataQueue, UpstreamWaitingForABufferIsFreedByClear)
{
    // All buffers are held by queued records; an upstream thread waiting
    // for one goes on as soon as the queue is cleared.
    SamplePool pool(2, 64);
    CMyInputDataQueue queue;
    for (int i = 0; i < 2; ++i) {
        SamplePtr sample = pool.Make(LengthPrefixed({{0x65}}));
        queue.PushSample(sample.get());
    }
    auto upstream = std::async(std::launch::async, [&] { return pool.Make(Bytes{1}) != nullptr; });
    queue.Clear();
    EXPECT_TRUE(upstream.get());
}

TEST(InputDataQueue, ManyRecordsAcrossThreadsKeepTheirOrder)
{
    constexpr int kRecords = 2000;
    SamplePool pool(16, 16);
    CMyInputDataQueue queue;
    std::thread producer([&] {
        for (int i = 0; i < kRecords; ++i) {
            SamplePtr sample = pool.Make(LengthPrefixed({{uint8_t(i), uint8_t(i >> 8)}}));
            queue.PushSample(sample.get());
        }
        queue.PushEndOfStream();
    });
    int next = 0;
    bool ordered = true;
    for (;;) {
        auto record = queue.WaitPop();
        ASSERT_TRUE(record);
        if (record->m_kind == CMyInputMediaSampleData::kEndOfStream) break;
        const BYTE *p = record->m_pData->GetNALPointer(0);
        ordered = ordered && p && (p[0] | (p[1] << 8)) == (next & 0xFFFF);
        ++next;
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(next, kRecords);
}

// --- output data queue -----------------------------------------------------------

TEST(OutputDataQueue, IsNamedAndStartsEmpty)
{
    CMyOutputDataQueue queue;
    EXPECT_EQ(std::wstring(queue.GetName()), L"MyOutputDataQueue");
    EXPECT_EQ(std::wstring(queue.GetTimeInfoName()), L"TimeInfoQueue");
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_EQ(queue.PopTimeInfo(), nullptr);
    EXPECT_EQ(queue.TakeQuality(), nullptr);
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent()));
}

TEST(OutputDataQueue, PicturesAndCommandsKeepTheirOrder)
{
    CMyOutputDataQueue queue;
    EXPECT_EQ(queue.PushFrame(std::make_unique<CMyYUVBuffer>(2, 2, 1)), S_OK);
    EXPECT_EQ(queue.PushNewSegment(10, 20, 1.0), S_OK);
    EXPECT_EQ(queue.PushFrame(std::make_unique<CMyRGBBuffer>(2, 2, 6)), S_OK);
    EXPECT_EQ(queue.PushEndOfStream(), S_OK);
    EXPECT_EQ(queue.PushFrame(nullptr), E_POINTER);
    EXPECT_EQ(queue.GetCount(), 4u);

    const LONG kinds[] = {0, -2, 0, -1};
    const LONG formats[] = {1, 8, 6, 8};
    for (int i = 0; i < 4; ++i) {
        auto record = queue.WaitPop();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->GetKind(), kinds[i]);
        EXPECT_EQ(record->GetFormat(), formats[i]);
    }
}

TEST(OutputDataQueue, EachTakenRecordSetsTheTakenEvent)
{
    CMyOutputDataQueue queue;
    queue.PushEndOfStream();
    queue.PushEndOfStream();
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent()));
    queue.WaitPop();
    EXPECT_TRUE(IsSignalled(queue.GetTakenEvent()));
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent()));
    queue.WaitPop();
    EXPECT_TRUE(IsSignalled(queue.GetTakenEvent()));
    queue.Abort();
    EXPECT_EQ(queue.WaitPop(), nullptr);
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent())) << "nothing was taken";
}

TEST(OutputDataQueue, AbortWakesTheOutputThreadAndResetLetsItGoOn)
{
    CMyOutputDataQueue queue;
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.Abort();
    EXPECT_EQ(popped.get(), nullptr);
    queue.PushEndOfStream();
    EXPECT_EQ(queue.WaitPop(), nullptr);
    queue.ResetEvents();
    auto record = queue.WaitPop();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->GetKind(), CMyOutputData::kEndOfStream);
}

TEST(OutputDataQueue, TakenEventPacesAProducerWaitingForRoom)
{
    // A producer that waits while more than 10 records are queued, as the
    // decoder wrapper does, goes on each time the consumer takes one.
    constexpr int kRecords = 200;
    CMyOutputDataQueue queue;
    std::atomic<DWORD> largest{0};
    std::thread producer([&] {
        for (int i = 0; i < kRecords; ++i) {
            while (queue.GetCount() > 10)
                WaitForSingleObject(queue.GetTakenEvent(), INFINITE);
            queue.PushFrame(std::make_unique<CMyRGBBuffer>(1, 1, 6));
            DWORD count = queue.GetCount();
            DWORD seen = largest.load();
            while (count > seen && !largest.compare_exchange_weak(seen, count)) {
            }
        }
        queue.PushEndOfStream();
    });
    int pictures = 0;
    for (;;) {
        auto record = queue.WaitPop();
        ASSERT_TRUE(record);
        if (record->GetKind() == CMyOutputData::kEndOfStream) break;
        ++pictures;
    }
    producer.join();
    EXPECT_EQ(pictures, kRecords);
    EXPECT_LE(largest.load(), 11u);
}

TEST(OutputDataQueue, TimeRecordsComeBackInArrivalOrder)
{
    SamplePool pool(3, 16);
    CMyOutputDataQueue queue;
    for (REFERENCE_TIME t : {100, 200, 300}) {
        SampleFields fields;
        fields.start = t;
        fields.stop = t + 100;
        SamplePtr sample = pool.Make(fields);
        EXPECT_EQ(queue.PushTimeInfo(sample.get()), S_OK);
    }
    SamplePtr untimed = pool.Make(Bytes{});
    EXPECT_EQ(queue.PushTimeInfo(untimed.get()), S_OK);
    EXPECT_EQ(queue.PushTimeInfo(nullptr), E_POINTER);
    EXPECT_EQ(queue.GetTimeInfoCount(), 4u);
    EXPECT_EQ(queue.GetCount(), 0u) << "time records travel apart from the pictures";
    for (REFERENCE_TIME t : {100, 200, 300}) {
        auto info = queue.PopTimeInfo();
        ASSERT_TRUE(info);
        REFERENCE_TIME start = 0, stop = 0;
        ASSERT_TRUE(info->GetTime(&start, &stop));
        EXPECT_EQ(start, t);
        EXPECT_EQ(stop, t + 100);
    }
    auto last = queue.PopTimeInfo();
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->GetTime(nullptr, nullptr));
    EXPECT_EQ(queue.PopTimeInfo(), nullptr);
}

TEST(OutputDataQueue, OnlyTheLatestQualityMessageIsKept)
{
    CMyOutputDataQueue queue;
    queue.SetQuality(Quality{Flood, 800, 10, 1000});
    queue.SetQuality(Quality{Flood, 900, 20, 2000});
    auto taken = queue.TakeQuality();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->Proportion, 900);
    EXPECT_EQ(taken->Late, 20);
    EXPECT_EQ(taken->TimeStamp, 2000);
    EXPECT_EQ(queue.TakeQuality(), nullptr);
}

TEST(OutputDataQueue, ClearAllEmptiesPicturesTimesAndQuality)
{
    SamplePool pool(2, 16);
    CMyOutputDataQueue queue;
    queue.PushFrame(std::make_unique<CMyYUVBuffer>(16, 16, 1));
    queue.PushNewSegment(0, 1, 1.0);
    queue.PushEndOfStream();
    SampleFields fields;
    fields.start = 1;
    SamplePtr sample = pool.Make(fields);
    queue.PushTimeInfo(sample.get());
    queue.SetQuality(Quality{Flood, 1, 2, 3});
    queue.ClearAll();
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_EQ(queue.GetTimeInfoCount(), 0u);
    EXPECT_EQ(queue.TakeQuality(), nullptr);
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent())) << "clearing takes nothing";
}

TEST(OutputDataQueue, ClearAllWhileTheOutputThreadWaitsLeavesItWaiting)
{
    CMyOutputDataQueue queue;
    queue.PushEndOfStream();
    queue.ClearAll();
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.PushNewSegment(5, 6, 2.0);
    auto record = popped.get();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->GetKind(), CMyOutputData::kNewSegment);
}

} // namespace
