// Seeking at graph level: questions and seeks go to the pins upstream of the
// renderers; a seek while running restarts the stream and its completion.
#include <gtest/gtest.h>

#include "graph_fixture.h"

namespace {

class GraphSeeking : public GraphFixture {
protected:
    void SetUp() override
    {
        GraphFixture::SetUp();
        m_source = CTestFilter::Source();
        m_source->AddRef();
        m_source->Out()->m_sampleCount = 10;
        m_source->Out()->m_sampleDuration = UNITS; // one second each
        add(m_source, L"Source");
        m_grabber = addGrabber();
        ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(m_source, PINDIR_OUTPUT),
                                               FirstPin(m_grabber.filter, PINDIR_INPUT), nullptr));
    }
    void TearDown() override
    {
        GraphFixture::TearDown();
        m_source->Release();
    }
    CTestOutputPin *pin() { return m_source->Out(); }

    CTestFilter *m_source = nullptr;
    Grabber m_grabber{};
};

TEST_F(GraphSeeking, QuestionsGoToThePinUpstreamOfTheRenderer)
{
    LONGLONG duration = 0, stop = 0;
    ASSERT_EQ(S_OK, m_seeking->GetDuration(&duration));
    EXPECT_EQ(10 * UNITS, duration);
    ASSERT_EQ(S_OK, m_seeking->GetStopPosition(&stop));
    EXPECT_EQ(10 * UNITS, stop);
    DWORD caps = 0;
    ASSERT_EQ(S_OK, m_seeking->GetCapabilities(&caps));
    EXPECT_EQ(DWORD(AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration), caps);
    DWORD asked = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanPlayBackwards;
    EXPECT_EQ(S_FALSE, m_seeking->CheckCapabilities(&asked));
    EXPECT_EQ(DWORD(AM_SEEKING_CanSeekAbsolute), asked);
    asked = AM_SEEKING_CanPlayBackwards;
    EXPECT_EQ(E_FAIL, m_seeking->CheckCapabilities(&asked));
    LONGLONG earliest = -1, latest = -1;
    ASSERT_EQ(S_OK, m_seeking->GetAvailable(&earliest, &latest));
    EXPECT_EQ(0, earliest);
    EXPECT_EQ(10 * UNITS, latest);
    EXPECT_EQ(E_NOTIMPL, m_seeking->SetRate(2.0));
    EXPECT_EQ(E_INVALIDARG, m_seeking->SetRate(0.0));
    double rate = 0;
    EXPECT_EQ(S_OK, m_seeking->GetRate(&rate));
    EXPECT_EQ(1.0, rate);
}

TEST_F(GraphSeeking, TimeIsAlwaysReferenceTime)
{
    GUID format = GUID_NULL;
    EXPECT_EQ(S_OK, m_seeking->GetTimeFormat(&format));
    EXPECT_TRUE(format == TIME_FORMAT_MEDIA_TIME);
    EXPECT_EQ(S_OK, m_seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME));
    EXPECT_EQ(S_FALSE, m_seeking->IsFormatSupported(&TIME_FORMAT_FRAME));
    EXPECT_EQ(S_OK, m_seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
    EXPECT_EQ(E_INVALIDARG, m_seeking->SetTimeFormat(&TIME_FORMAT_FRAME));
    LONGLONG target = 0;
    EXPECT_EQ(S_OK, m_seeking->ConvertTimeFormat(&target, nullptr, 1234, &TIME_FORMAT_MEDIA_TIME));
    EXPECT_EQ(1234, target);
    EXPECT_EQ(E_INVALIDARG, m_seeking->ConvertTimeFormat(&target, &TIME_FORMAT_FRAME, 1, nullptr));
}

TEST_F(GraphSeeking, SeekWhileStoppedReachesTheSourceAndSetsThePosition)
{
    LONGLONG current = 3 * UNITS, stop = 8 * UNITS;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime, &stop,
                                            AM_SEEKING_AbsolutePositioning));
    std::vector<SeekCall> calls = pin()->SeekCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(3 * UNITS, calls[0].current);
    EXPECT_EQ(DWORD(AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime), calls[0].currentFlags);
    EXPECT_EQ(8 * UNITS, calls[0].stop);
    EXPECT_EQ(DWORD(AM_SEEKING_AbsolutePositioning), calls[0].stopFlags);
    EXPECT_EQ(3 * UNITS, current) << "the source's own answer comes back";
    LONGLONG position = 0;
    ASSERT_EQ(S_OK, m_seeking->GetCurrentPosition(&position));
    EXPECT_EQ(3 * UNITS, position) << "a stopped graph stands at the seek position";
    EXPECT_EQ(E_POINTER, m_seeking->SetPositions(nullptr, AM_SEEKING_AbsolutePositioning, nullptr, 0));
}

TEST_F(GraphSeeking, SeekWhileRunningRestartsTheStreamAndItsCompletion)
{
    noClock();
    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    ASSERT_EQ(10u, m_grabber.callback->Samples().size());

    LONGLONG current = 7 * UNITS;
    ASSERT_EQ(S_OK,
              m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    OAFilterState state;
    EXPECT_EQ(S_OK, m_control->GetState(0, &state));
    EXPECT_EQ(State_Running, state) << "running again after the seek";
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code)) << "the second pass completes too";
    EXPECT_EQ(EC_COMPLETE, code);
    std::vector<GrabbedSample> samples = m_grabber.callback->Samples();
    ASSERT_EQ(13u, samples.size());
    EXPECT_EQ(7, samples[10].firstByte);
    EXPECT_EQ(9, samples[12].firstByte);
}

TEST_F(GraphSeeking, WithTheClockThePositionFollowsStreamTimeFromTheSeek)
{
    LONGLONG current = 4 * UNITS;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    ASSERT_EQ(S_OK, m_control->Run());
    LONGLONG position = 0, stop = 0;
    ASSERT_EQ(S_OK, m_seeking->GetPositions(&position, &stop));
    EXPECT_GE(position, 4 * UNITS);
    EXPECT_LE(position, stop);
    ASSERT_EQ(S_OK, m_control->Pause());
    LONGLONG paused = 0, later = 0;
    ASSERT_EQ(S_OK, m_seeking->GetCurrentPosition(&paused));
    ASSERT_EQ(S_OK, m_seeking->GetCurrentPosition(&later));
    EXPECT_EQ(paused, later) << "stream time stands still while paused";
}

TEST_F(GraphSeeking, GraphWithoutSeekablePinsCannotSeek)
{
    ASSERT_EQ(S_OK, m_graph->RemoveFilter(m_source));
    Held<CTestFilter> fixed(CTestFilter::Source());
    fixed->Out()->m_seekable = false;
    add(fixed.get(), L"Fixed");
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(fixed.get(), PINDIR_OUTPUT),
                                           FirstPin(m_grabber.filter, PINDIR_INPUT), nullptr));
    LONGLONG current = 0, duration = 0;
    DWORD caps = 0;
    EXPECT_EQ(E_NOTIMPL, m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    EXPECT_EQ(E_NOTIMPL, m_seeking->GetDuration(&duration));
    EXPECT_EQ(E_NOTIMPL, m_seeking->GetCapabilities(&caps));
}

TEST_F(GraphSeeking, EveryStreamIsSeekedOnce)
{
    Held<CTestFilter> second(CTestFilter::Source());
    second->Out()->m_sampleCount = 20;
    add(second.get(), L"Second");
    Grabber other = addGrabber(L"Other");
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(second.get(), PINDIR_OUTPUT), FirstPin(other.filter, PINDIR_INPUT),
                                           nullptr));
    LONGLONG duration = 0;
    ASSERT_EQ(S_OK, m_seeking->GetDuration(&duration));
    EXPECT_EQ(10 * UNITS, duration) << "the longer stream";
    LONGLONG current = UNITS;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    EXPECT_EQ(1u, pin()->SeekCalls().size());
    EXPECT_EQ(1u, second->Out()->SeekCalls().size());
}

} // namespace
