// Seeking a running graph of file source, parser, decode filter and sink.
#include "decode_graph.h"

#include "support/hang_guard.h"

#include <algorithm>
#include <random>

namespace {

class SeekingTest : public DecodeGraphTest {
protected:
    void SetUp() override
    {
        DecodeGraphTest::SetUp();
        const std::string path = MoviePath("baseline_sowt.mov"); // 15 fps, a sync picture every second
        m_reference = ReferencePictures(path, 160, 120);
        ASSERT_TRUE(!m_reference.empty() && m_reference.front().sync);
        for (const ReferencePicture &p : m_reference)
            m_md5s.push_back(p.md5);
        BuildMovieInput(path);
        ConnectSink(MEDIASUBTYPE_YV12);
    }

    // The trace after a seek to start: ffmpeg's pictures from the sync
    // picture at or before it, less those ending before it, at times from
    // start (none for the one that straddles it), n of them at most.
    std::string Expected(LONGLONG start, size_t n)
    {
        size_t first = 0;
        for (size_t k = 0; k < m_reference.size(); ++k)
            if (m_reference[k].sync && m_reference[k].start <= start) first = k;
        while (m_reference[first].stop < start)
            ++first;
        std::string text = "seg " + std::to_string(start) + " ";
        for (size_t k = first; k < m_reference.size() && k < first + n; ++k)
            text += std::to_string(k) + "@" +
                    (m_reference[k].start >= start ? std::to_string(m_reference[k].start - start) + "-" +
                                                         std::to_string(m_reference[k].stop - start)
                                                   : "-") +
                    " ";
        return text;
    }
    // What the sink recorded from the last new segment at start on, n pictures at most.
    std::string Opening(LONGLONG start, size_t n)
    {
        const std::string trace = Trace(m_sink, m_md5s);
        const size_t at = trace.rfind("seg " + std::to_string(start) + " ");
        if (at == std::string::npos) return "";
        std::string text = trace.substr(at);
        for (size_t end = text.find(' ', 4) + 1, k = 0; end != 0; end = text.find(' ', end) + 1, ++k)
            if (k == n || text.compare(end, 4, "seg ") == 0) return text.substr(0, end);
        return text;
    }

    std::vector<ReferencePicture> m_reference;
    std::vector<std::string> m_md5s;
};

// Seeks at random places, with and without a flush, running and paused,
// through the graph and through the decode filter's output pin, with a sink
// that holds pictures while paused: every seek ends, and the next pictures
// are the right ones at the right times.
TEST_F(SeekingTest, FiveHundredRandomSeeksEachFollowedByTheRightPicturesAtTheRightTimes)
{
    m_sink->m_holdWhilePaused = true;
    ComPtr<IMediaSeeking> outputSeeking = QueryHeld<IMediaSeeking>(DecodeOut(), IID_IMediaSeeking);
    IMediaSeeking *const seekers[] = {m_graph.Seeking(), outputSeeking.Get()};
    constexpr size_t kChecked = 3; // pictures checked after each seek
    std::mt19937 random(16);
    std::uniform_int_distribution<LONGLONG> anyTime(0, m_reference.back().stop - 1);
    for (int i = 0; i < 500; ++i) {
        const bool paused = random() % 2, noFlush = random() % 2;
        IMediaSeeking *seeking = seekers[random() % 2];
        LONGLONG start = anyTime(random);
        ASSERT_EQ(S_OK, paused ? m_graph.Pause() : m_graph.Run());
        m_sink->Forget();
        orvex::test::expectReturns("a seek", [&] {
            EXPECT_EQ(S_OK,
                      seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning | (noFlush ? AM_SEEKING_NoFlush : 0),
                                            nullptr, AM_SEEKING_NoPositioning));
        });
        ASSERT_EQ(S_OK, paused ? m_graph.Run() : S_OK);
        const std::string expected = Expected(start, kChecked);
        const size_t pictures = size_t(std::count(expected.begin(), expected.end(), '@'));
        m_sink->WaitEvents([&](const std::vector<std::string> &events) {
            const auto segment = std::find_if(events.rbegin(), events.rend(), [&](const std::string &e) {
                return e.rfind("segment " + std::to_string(start) + " ", 0) == 0;
            });
            return segment != events.rend() && size_t(std::count_if(events.rbegin(), segment, [](const std::string &e) {
                                                   return e.rfind("sample ", 0) == 0;
                                               })) >= pictures;
        });
        ASSERT_EQ(expected, Opening(start, pictures)) << "seek " << i;
    }
    orvex::test::expectReturns("the stop", [&] { EXPECT_EQ(S_OK, m_graph.Stop()); });
}

} // namespace
