// Seeking a running graph of file source, parser, decode filter and sink.
#include "decode_graph.h"
#include "support/ffmpeg_reference.h"

#include "support/debug_capture.h"
#include "support/hang_guard.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

TEST_F(DecodeGraphTest, ASeekWhileRunningStartsAtThePictureOfTheNewStart)
{
    const std::string path = MoviePath("baseline_sowt.mov"); // 15 fps, a sync picture every second
    const std::vector<ReferencePicture> reference = ReferencePictures(path, 160, 120);
    BuildMovieInput(path);
    ConnectSink(MEDIASUBTYPE_YV12);
    m_sink->BlockAt(1);
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_TRUE(WaitUntilBlocked(m_sink));

    orvex::test::DebugCapture trace;
    // Between pictures 19 and 20: the parser starts at the sync picture 15.
    LONGLONG start = 13000000;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    m_sink->Unblock();
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(static_cast<LONG>(kWaitMs), &code));

    const std::vector<SinkSegment> segments = Segments(m_sink->Events());
    ASSERT_GE(segments.size(), 2u);
    EXPECT_EQ(start, segments.back().start);
    const std::vector<ReceivedSample> pictures = m_sink->Received();
    const size_t first = segments.back().picturesBefore;
    ASSERT_EQ(first + reference.size() - 19, pictures.size());
    EXPECT_EQ(static_cast<long>(pictures.size()), PicturesBeforeEndOfStream(m_sink->Events()));

    // Pictures 15 to 18 end before the new start.
    EXPECT_EQ(4u, trace.count("COrvexH264DecodeFilter11::output discard frame before segment startTime \n"));
    for (size_t i = 15; i < 19; ++i) {
        char line[80];
        std::snprintf(line, sizeof(line), "  frame endTime(%lld) < segment startTime(1300) \n",
                      static_cast<long long>(reference[i].stop / 10000));
        EXPECT_EQ(1u, trace.count(line)) << line;
    }
    // Picture 19 starts before the new start: it goes out without a time.
    EXPECT_FALSE(pictures[first].Timed());
    for (size_t k = 0; first + k < pictures.size(); ++k)
        EXPECT_EQ(reference[19 + k].md5, PictureMd5(pictures[first + k])) << "picture " << 19 + k;
    for (size_t k = 1; first + k < pictures.size(); ++k) {
        EXPECT_TRUE(pictures[first + k].Timed());
        EXPECT_EQ(reference[19 + k].start - start, pictures[first + k].start);
    }
}

// Seeks at random places, with and without a flush, running and paused,
// through the graph and through the decode filter's output pin, with a sink
// that holds pictures while paused: every seek ends, and the next pictures
// are ffmpeg's from the sync picture at or before the start, less those that
// end before it, at times measured from the start (none for a picture that
// straddles it).
TEST_F(DecodeGraphTest, FiveHundredRandomSeeksEachFollowedByTheRightPicturesAtTheRightTimes)
{
    const std::string path = MoviePath("baseline_sowt.mov");
    const std::vector<ReferencePicture> reference = ReferencePictures(path, 160, 120);
    ASSERT_FALSE(reference.empty());
    ASSERT_TRUE(reference.front().sync);
    BuildMovieInput(path);
    ConnectSink(MEDIASUBTYPE_YV12);
    m_sink->HoldWhilePaused();
    IMediaSeeking *outputSeeking = nullptr;
    ASSERT_EQ(S_OK, DecodeOut()->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&outputSeeking)));
    IMediaSeeking *const seekers[] = {m_seeking.get(), outputSeeking};

    constexpr size_t kChecked = 3; // pictures checked after each seek
    std::mt19937 random(16);
    std::uniform_int_distribution<LONGLONG> anyTime(0, reference.back().stop - 1);
    for (int i = 0; i < 500; ++i) {
        const bool paused = random() % 2, noFlush = random() % 2;
        IMediaSeeking *seeking = seekers[random() % 2];
        LONGLONG start = anyTime(random);
        ASSERT_EQ(S_OK, paused ? m_control->Pause() : m_control->Run());
        m_sink->Forget();
        orvex::test::expectReturns("a seek", [&] {
            EXPECT_EQ(S_OK,
                      seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning | (noFlush ? AM_SEEKING_NoFlush : 0),
                                            nullptr, AM_SEEKING_NoPositioning));
        });
        if (paused) {
            ASSERT_EQ(S_OK, m_control->Run());
        }

        size_t first = 0;
        for (size_t k = 0; k < reference.size(); ++k)
            if (reference[k].sync && reference[k].start <= start) first = k;
        while (reference[first].stop < start)
            ++first;
        const size_t want = std::min(kChecked, reference.size() - first);
        size_t from = 0;
        const bool came = m_sink->WaitEvents([&](const std::vector<std::string> &events) {
            const std::vector<SinkSegment> segments = Segments(events);
            if (segments.empty() || segments.back().start != start) return false;
            from = segments.back().picturesBefore;
            return std::count_if(events.begin(), events.end(), [](const std::string &e) {
                       return e.rfind("sample ", 0) == 0;
                   }) >= std::ptrdiff_t(from + want);
        });
        ASSERT_TRUE(came) << "seek " << i << " to " << start;
        const std::vector<ReceivedSample> pictures = m_sink->Received();
        for (size_t k = 0; k < want; ++k) {
            const ReferencePicture &expected = reference[first + k];
            const ReceivedSample &picture = pictures[from + k];
            const bool timed = expected.start >= start;
            ASSERT_EQ(expected.md5, PictureMd5(picture))
                << "seek " << i << " to " << start << ", picture " << first + k;
            ASSERT_EQ(timed, picture.Timed()) << "seek " << i;
            if (timed) {
                ASSERT_EQ(expected.start - start, picture.start) << "seek " << i;
                ASSERT_EQ(expected.stop - start, picture.stop) << "seek " << i;
            }
        }
    }
    orvex::test::expectReturns("the stop", [&] { EXPECT_EQ(S_OK, m_control->Stop()); });
    outputSeeking->Release();
}

} // namespace
