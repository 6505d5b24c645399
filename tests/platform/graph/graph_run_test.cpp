// Running graphs: completion, renderers against the clock and without one,
// quality messages, pausing, stopping while a source is blocked, and the
// event queue.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "graph_fixture.h"

namespace {

class GraphRunning : public GraphFixture {
protected:
    // A source of count samples connected to a new grabber.
    struct Chain {
        CTestFilter *source; // held by m_sources
        Grabber grabber;
    };
    Chain chain(int count, const wchar_t *name = L"Source")
    {
        auto *source = CTestFilter::Source();
        m_sources.emplace_back(std::make_unique<Held<CTestFilter>>(source));
        source->Out()->m_sampleCount = count;
        add(source, name);
        Grabber grabber = addGrabber((std::wstring(name) + L" grabber").c_str());
        EXPECT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(source, PINDIR_OUTPUT), FirstPin(grabber.filter, PINDIR_INPUT),
                                               nullptr));
        return {source, grabber};
    }
    std::vector<std::unique_ptr<Held<CTestFilter>>> m_sources;
};

TEST_F(GraphRunning, RunsToTheEndAndSaysSo)
{
    noClock();
    Chain c = chain(20);
    c.source->Out()->m_streamId = 0x80000001;
    ASSERT_EQ(S_OK, m_control->Run());
    OAFilterState state = -1;
    EXPECT_EQ(S_OK, m_control->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(EC_COMPLETE, code);

    std::vector<GrabbedSample> samples = c.grabber.callback->Samples();
    ASSERT_EQ(20u, samples.size());
    for (int i = 0; i < 20; ++i) {
        const GrabbedSample &s = samples[static_cast<size_t>(i)];
        EXPECT_EQ(S_OK, s.timeResult);
        EXPECT_EQ(i * 10000, s.start);
        EXPECT_EQ((i + 1) * 10000, s.stop);
        EXPECT_DOUBLE_EQ(i * 0.001, s.time);
        EXPECT_EQ(0x80000001u, s.streamId);
        EXPECT_EQ(i, s.firstByte);
        EXPECT_EQ(16, s.length);
        EXPECT_EQ(-1, s.clockNow) << "no clock";
    }
    EXPECT_TRUE(c.source->Out()->QualityMessages().empty()) << "nothing is late without a clock";
    ASSERT_EQ(S_OK, m_control->Stop());
    EXPECT_EQ(S_OK, m_control->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
}

TEST_F(GraphRunning, CompletionWaitsForEveryRenderer)
{
    Chain quick = chain(3, L"Quick");
    Chain slow = chain(1, L"Slow");
    slow.source->Out()->m_timeOffset = 3600LL * UNITS; // its only sample is due in an hour
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(quick.source->Out()->m_deliveryEnded, 10000));
    LONG code = 0;
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(50, &code)) << "one renderer is still waiting";
    IMediaEventSink *sink = nullptr;
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void **>(&sink)));
    sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(quick.grabber.filter));
    sink->Release();
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(0, &code)) << "a renderer that says it twice counts once";
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(slow.source->Out()->m_deliveryStarted, 10000));
    ASSERT_EQ(S_OK, m_control->Stop()) << "a stop ends the wait for the hour-late sample";
    EXPECT_EQ(0, slow.source->Out()->Delivered());
    EXPECT_EQ(VFW_E_WRONG_STATE, slow.source->Out()->LastDeliverResult());
    EXPECT_TRUE(slow.grabber.callback->Samples().empty());
}

TEST_F(GraphRunning, WithoutDefaultHandlingEachRendererCompletes)
{
    noClock();
    Chain a = chain(2, L"A");
    Chain b = chain(2, L"B");
    ASSERT_EQ(S_OK, m_events->CancelDefaultHandling(EC_COMPLETE));
    EXPECT_EQ(E_INVALIDARG, m_events->CancelDefaultHandling(EC_PAUSED));
    ASSERT_EQ(S_OK, m_control->Run());
    std::vector<LONG_PTR> senders;
    for (int i = 0; i < 2; ++i) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        ASSERT_EQ(S_OK, m_events->GetEvent(&code, &p1, &p2, 10000));
        EXPECT_EQ(EC_COMPLETE, code);
        senders.push_back(p2);
    }
    EXPECT_NE(senders.end(), std::find(senders.begin(), senders.end(), reinterpret_cast<LONG_PTR>(a.grabber.filter)));
    EXPECT_NE(senders.end(), std::find(senders.begin(), senders.end(), reinterpret_cast<LONG_PTR>(b.grabber.filter)));
}

TEST_F(GraphRunning, StopReturnsWhileTheSourceIsHeldByAPausedRenderer)
{
    Chain c = chain(5);
    ASSERT_EQ(S_OK, m_control->Pause());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(c.source->Out()->m_deliveryStarted, 10000));
    EXPECT_TRUE(c.grabber.callback->Samples().empty()) << "a paused renderer holds the sample";
    ASSERT_EQ(S_OK, m_control->Stop());
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(c.source->Out()->m_deliveryEnded, 0))
        << "the source's thread is gone";
    EXPECT_EQ(VFW_E_WRONG_STATE, c.source->Out()->LastDeliverResult());
}

TEST_F(GraphRunning, PausedGraphDeliversOnceRunning)
{
    noClock();
    Chain c = chain(4);
    ASSERT_EQ(S_OK, m_control->Pause());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(c.source->Out()->m_deliveryStarted, 10000));
    LONG code = 0;
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(0, &code));
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(4u, c.grabber.callback->Samples().size());
}

TEST_F(GraphRunning, SamplesWaitForTheirTimeOnTheClock)
{
    Chain c = chain(5);
    c.source->Out()->m_sampleDuration = 20 * 10000; // 20 ms apart
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    REFERENCE_TIME runStart = c.source->StartTime();
    std::vector<GrabbedSample> samples = c.grabber.callback->Samples();
    ASSERT_EQ(5u, samples.size());
    for (const GrabbedSample &s : samples) {
        ASSERT_NE(-1, s.clockNow);
        EXPECT_GE(s.clockNow - runStart, s.start) << "handed on before its time";
    }
}

TEST_F(GraphRunning, LateSamplesSendQualityMessagesUpstream)
{
    Chain c = chain(3);
    c.source->Out()->m_timeOffset = -10 * UNITS; // ten seconds behind the clock
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    std::vector<Quality> quality = c.source->Out()->QualityMessages();
    ASSERT_EQ(3u, quality.size());
    for (size_t i = 0; i < quality.size(); ++i) {
        EXPECT_GT(quality[i].Late, 9 * UNITS) << "about ten seconds late";
        EXPECT_EQ(-10 * UNITS + static_cast<REFERENCE_TIME>(i) * 10000, quality[i].TimeStamp);
    }
    EXPECT_EQ(3u, c.grabber.callback->Samples().size()) << "late samples are still handed on";
}

TEST_F(GraphRunning, CatchingUpIsReportedOnce)
{
    Chain c = chain(3);
    c.source->Out()->m_sampleDuration = UNITS / 2;   // half a second apart:
    c.source->Out()->m_timeOffset = -3 * UNITS / 10; // -0.3 s (late), 0.2 s and 0.7 s (on time)
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    std::vector<Quality> quality = c.source->Out()->QualityMessages();
    ASSERT_EQ(2u, quality.size()) << "one for the late sample, one when on time again, none after";
    EXPECT_GT(quality[0].Late, 0);
    EXPECT_LE(quality[1].Late, 0);
}

TEST_F(GraphRunning, TheClockAndTheStartTimeAreCommonToAllFilters)
{
    Chain a = chain(1, L"A");
    Chain b = chain(1, L"B");
    ASSERT_EQ(S_OK, m_control->Run());
    IReferenceClock *graphClock = nullptr;
    ASSERT_EQ(S_OK, m_mediaFilter->GetSyncSource(&graphClock));
    ASSERT_NE(nullptr, graphClock);
    for (IBaseFilter *f : {static_cast<IBaseFilter *>(a.source), a.grabber.filter, b.grabber.filter}) {
        IReferenceClock *clock = nullptr;
        ASSERT_EQ(S_OK, f->GetSyncSource(&clock));
        EXPECT_EQ(graphClock, clock);
        if (clock) clock->Release();
    }
    graphClock->Release();
    EXPECT_EQ(a.source->StartTime(), b.source->StartTime());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_mediaFilter->SetSyncSource(nullptr));
    FILTER_STATE state;
    EXPECT_EQ(S_OK, m_mediaFilter->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
}

TEST_F(GraphRunning, StateChangesGoDownstreamFirst)
{
    std::string log;
    HRESULT hr = S_OK;
    Held<CTestFilter> source(CTestFilter::Source());
    Held<CTestFilter> converter(new CTestFilter(&hr, 1, {{MEDIASUBTYPE_TestB}}, CLSID_TestConverter));
    Held<CTestFilter> sink(CTestFilter::Sink({MEDIASUBTYPE_TestB}));
    // Added in an order that is neither upstream nor downstream.
    add(converter.get(), L"Converter");
    add(source.get(), L"Source");
    add(sink.get(), L"Sink");
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(source.get(), PINDIR_OUTPUT),
                                           FirstPin(converter.get(), PINDIR_INPUT), nullptr));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(converter.get(), PINDIR_OUTPUT), FirstPin(sink.get(), PINDIR_INPUT),
                                           nullptr));
    source->m_log = converter->m_log = sink->m_log = &log;
    source->m_logName = "source";
    converter->m_logName = "converter";
    sink->m_logName = "sink";
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, m_control->Pause());
    ASSERT_EQ(S_OK, m_control->Stop());
    EXPECT_EQ("sink:Pause converter:Pause source:Pause sink:Run converter:Run source:Run "
              "sink:Pause converter:Pause source:Pause sink:Stop converter:Stop source:Stop ",
              log);
    source->m_log = converter->m_log = sink->m_log = nullptr;
}

TEST_F(GraphRunning, AnErrorAbortEndsTheWait)
{
    Chain c = chain(1);
    c.source->Out()->m_timeOffset = 3600LL * UNITS;
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, c.source->SendEvent(EC_ERRORABORT, E_FAIL, 0));
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(EC_ERRORABORT, code);
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(0, &code)) << "the event was taken";
}

TEST_F(GraphRunning, WaitForCompletionGivesUpWhenTheGraphStops)
{
    LONG code = 0;
    EXPECT_EQ(VFW_E_WRONG_STATE, m_events->WaitForCompletion(INFINITE, &code)) << "a stopped graph never completes";
    Chain c = chain(1);
    c.source->Out()->m_timeOffset = 3600LL * UNITS;
    ASSERT_EQ(S_OK, m_control->Run());
    std::atomic<HRESULT> waited{S_OK};
    std::thread waiter([&] {
        LONG ignored = 0;
        waited = m_events->WaitForCompletion(INFINITE, &ignored);
    });
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(c.source->Out()->m_deliveryStarted, 10000));
    ASSERT_EQ(S_OK, m_control->Stop());
    waiter.join();
    EXPECT_EQ(VFW_E_WRONG_STATE, waited.load());
}

TEST_F(GraphRunning, RunningWithNoRendererIsCompleteAtOnce)
{
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Lonely");
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(0, &code));
    EXPECT_EQ(EC_COMPLETE, code);
}

TEST_F(GraphRunning, EventQueueHandsOutEventsInOrder)
{
    IMediaEventSink *sink = nullptr;
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void **>(&sink)));
    OAEVENT handle = 0;
    ASSERT_EQ(S_OK, m_events->GetEventHandle(&handle));
    HANDLE event = reinterpret_cast<HANDLE>(handle);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    EXPECT_EQ(E_ABORT, m_events->GetEvent(&code, &p1, &p2, 0));

    ASSERT_EQ(S_OK, sink->Notify(EC_USER + 1, 11, 12));
    ASSERT_EQ(S_OK, sink->Notify(EC_USER + 2, 21, 22));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    ASSERT_EQ(S_OK, m_events->GetEvent(&code, &p1, &p2, 0));
    EXPECT_EQ(EC_USER + 1, code);
    EXPECT_EQ(11, p1);
    EXPECT_EQ(12, p2);
    ASSERT_EQ(S_OK, m_events->GetEvent(&code, &p1, &p2, 0));
    EXPECT_EQ(EC_USER + 2, code);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(event, 0)) << "empty again";

    ASSERT_EQ(S_OK, m_events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY));
    ASSERT_EQ(S_OK, sink->Notify(EC_USER, 0, 0));
    EXPECT_EQ(E_ABORT, m_events->GetEvent(&code, &p1, &p2, 0));
    LONG flags = 0;
    EXPECT_EQ(S_OK, m_events->GetNotifyFlags(&flags));
    EXPECT_EQ(AM_MEDIAEVENT_NONOTIFY, flags);
    EXPECT_EQ(E_INVALIDARG, m_events->SetNotifyFlags(2));
    EXPECT_EQ(S_OK, m_events->FreeEventParams(EC_USER, 0, 0));
    sink->Release();
}

TEST_F(GraphRunning, GrabberBuffersAndEndsAfterOneShot)
{
    noClock();
    Chain c = chain(5);
    ISampleGrabber *grabber = nullptr;
    ASSERT_EQ(S_OK, c.grabber.filter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void **>(&grabber)));
    LONG size = 0;
    EXPECT_EQ(E_INVALIDARG, grabber->GetCurrentBuffer(&size, nullptr)) << "not buffering";
    ASSERT_EQ(S_OK, grabber->SetBufferSamples(TRUE));
    EXPECT_EQ(VFW_E_WRONG_STATE, grabber->GetCurrentBuffer(&size, nullptr)) << "nothing yet";
    ASSERT_EQ(S_OK, grabber->SetOneShot(TRUE));
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(c.source->Out()->m_deliveryEnded, 10000));
    EXPECT_EQ(1u, c.grabber.callback->Samples().size());
    EXPECT_EQ(S_FALSE, c.source->Out()->LastDeliverResult()) << "the source was told to stop sending";
    ASSERT_EQ(S_OK, grabber->GetCurrentBuffer(&size, nullptr));
    EXPECT_EQ(16, size);
    std::vector<LONG> bytes(4, -1);
    LONG small = 8;
    EXPECT_EQ(E_OUTOFMEMORY, grabber->GetCurrentBuffer(&small, bytes.data()));
    size = 16;
    ASSERT_EQ(S_OK, grabber->GetCurrentBuffer(&size, bytes.data()));
    EXPECT_EQ(0, reinterpret_cast<BYTE *>(bytes.data())[0]) << "the first sample's first byte";

    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, grabber->GetConnectedMediaType(&mt));
    EXPECT_TRUE(mt.subtype == MEDIASUBTYPE_TestA);
    FreeMediaType(mt);
    EXPECT_EQ(E_INVALIDARG, grabber->SetCallback(nullptr, 2));
    EXPECT_EQ(E_NOTIMPL, grabber->GetCurrentSample(nullptr));
    grabber->Release();
}

TEST_F(GraphRunning, GrabberRefusesTypesOutsideItsMediaType)
{
    Grabber g = addGrabber();
    ISampleGrabber *grabber = nullptr;
    ASSERT_EQ(S_OK, g.filter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void **>(&grabber)));
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = MEDIATYPE_Test;
    accepted.subtype = MEDIASUBTYPE_TestB;
    ASSERT_EQ(S_OK, grabber->SetMediaType(&accepted));
    Held<CTestFilter> source(CTestFilter::Source({MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB}));
    add(source.get(), L"Source");
    ASSERT_EQ(S_OK, m_graph->Connect(FirstPin(source.get(), PINDIR_OUTPUT), FirstPin(g.filter, PINDIR_INPUT)));
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, grabber->GetConnectedMediaType(&mt));
    EXPECT_TRUE(mt.subtype == MEDIASUBTYPE_TestB);
    FreeMediaType(mt);
    grabber->Release();
}

TEST_F(GraphRunning, NullRendererTakesAnything)
{
    noClock();
    IBaseFilter *null = addStock(CLSID_NullRenderer, L"Null");
    Held<CTestFilter> source(CTestFilter::Source({MEDIASUBTYPE_TestC}));
    add(source.get(), L"Source");
    source->Out()->m_sampleCount = 5;
    ASSERT_EQ(S_OK, m_graph->Connect(FirstPin(source.get(), PINDIR_OUTPUT), FirstPin(null, PINDIR_INPUT)));
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(5, source->Out()->Delivered());
}

} // namespace
