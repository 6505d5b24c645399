// Seeking a running graph of file source, parser, decode filter and sink.
#include "decode_graph.h"
#include "frame_reference.h"

#include "support/debug_capture.h"

#include <cstdio>

namespace {

TEST_F(DecodeGraphTest, ASeekWhileRunningStartsAtThePictureOfTheNewStart)
{
    const std::string path = MoviePath("baseline_sowt.mov"); // 15 fps, a sync picture every second
    const std::vector<ReferenceFrame> reference = ReferenceFrames(path);
    BuildMovieInput(path);
    ConnectSink(MEDIASUBTYPE_YV12);
    m_sink->Block();
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_TRUE(m_sink->WaitUntilBlocked(kWaitMs));

    orvex::test::DebugCapture trace;
    // Between pictures 19 and 20: the parser starts at the sync picture 15.
    LONGLONG start = 13000000;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    m_sink->Unblock();
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(static_cast<LONG>(kWaitMs), &code));

    const std::vector<SinkSegment> segments = m_sink->Segments();
    ASSERT_GE(segments.size(), 2u);
    EXPECT_EQ(start, segments.back().start);
    const std::vector<SinkPicture> pictures = m_sink->Pictures();
    const size_t first = segments.back().picturesBefore;
    ASSERT_EQ(first + reference.size() - 19, pictures.size());
    EXPECT_EQ(static_cast<long>(pictures.size()), m_sink->PicturesBeforeEndOfStream());

    // Pictures 15 to 18 end before the new start.
    EXPECT_EQ(4u, trace.count("COrvexH264DecodeFilter11::output discard frame before segment startTime \n"));
    for (size_t i = 15; i < 19; ++i) {
        char line[80];
        std::snprintf(line, sizeof(line), "  frame endTime(%lld) < segment startTime(1300) \n",
                      static_cast<long long>(reference[i].stop / 10000));
        EXPECT_EQ(1u, trace.count(line)) << line;
    }
    // Picture 19 starts before the new start: it goes out without a time.
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, pictures[first].timeResult);
    for (size_t k = 0; first + k < pictures.size(); ++k)
        EXPECT_EQ(reference[19 + k].md5, PictureMd5(pictures[first + k])) << "picture " << 19 + k;
    for (size_t k = 1; first + k < pictures.size(); ++k) {
        EXPECT_EQ(S_OK, pictures[first + k].timeResult);
        EXPECT_EQ(reference[19 + k].start - start, pictures[first + k].start);
    }
}

} // namespace
