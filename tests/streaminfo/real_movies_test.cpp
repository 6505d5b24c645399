// The indexes of real movies written by ffmpeg against ffprobe's packets, the
// one place the index meets ffprobe: each video entry is one packet (offset,
// size, key flag, decode time) and the sound entries cover exactly the bytes
// of the sound packets, in order.
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "quicktime/ffprobe_packets.h"
#include "streaminfo/streaminfo_fixtures.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvex::test {
namespace {

// Byte ranges "begin-end" in order, runs that touch merged.
class Ranges {
public:
    void add(uint64_t begin, uint64_t size)
    {
        if (size && begin == m_end) return void(m_end += size);
        flush();
        m_begin = begin;
        m_end = begin + size;
    }
    std::string text()
    {
        flush();
        return m_text;
    }

private:
    void flush()
    {
        if (m_end > m_begin) m_text += std::to_string(m_begin) + "-" + std::to_string(m_end) + " ";
        m_begin = m_end = 0;
    }
    uint64_t m_begin = 0, m_end = 0;
    std::string m_text;
};

class RealMovie : public testing::TestWithParam<const char *> {};

TEST_P(RealMovie, IndexesAgreeWithFfprobe)
{
    if (findOnPath("ffprobe").empty()) GTEST_SKIP() << "ffprobe is not installed (scripts/setup installs ffmpeg)";
    const std::string path = dataPath(std::string("movies/") + GetParam());
    CMyMovieStreams streams;
    ASSERT_EQ(LoadMovieStreams(widen(path).c_str(), &streams), S_OK);
    const LONGLONG scale = streams.video->GetMediaTimeScale();
    std::ostringstream probed;
    size_t i = 0;
    for (const auto &p : probePackets(path, "v:0"))
        probed << "video\t" << i++ << '\t' << p.dts * 10000000 / scale << '\t'
               << (p.dts + p.duration) * 10000000 / scale << '\t' << p.size << '\t' << p.pos << '\t' << p.key
               << "\t1\n";
    EXPECT_EQ(indexTsv(*streams.video, "video"), probed.str());

    Ranges fromProbe, fromIndex;
    if (streams.sound) {
        for (const auto &p : probePackets(path, "a:0"))
            fromProbe.add(uint64_t(p.pos), uint64_t(p.size));
        for (const auto &entry : streams.sound->GetSampleIndex())
            fromIndex.add(entry.offset, entry.size);
    } else {
        EXPECT_THROW(probePackets(path, "a:0"), std::runtime_error); // no sound there either
    }
    EXPECT_EQ(fromIndex.text(), fromProbe.text());
}

INSTANTIATE_TEST_SUITE_P(Movies, RealMovie,
                         testing::Values("baseline_sowt.mov", "main_aac_faststart.mov", "odd_size_sowt_3000.mov",
                                         "sowt_one_second_chunks.mov", "video_only_faststart.mov"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
} // namespace orvex::test
