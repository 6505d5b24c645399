// The indexes of real movies written by ffmpeg against ffprobe's packets:
// each video entry is one packet (offset, size, key flag, decode time), and
// the sound entries cover exactly the bytes of the sound packets, in order.
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "quicktime/ffprobe_packets.h"
#include "streaminfo/streaminfo_fixtures.h"

#include <gtest/gtest.h>

#include <utility>

namespace orvex::test {
namespace {

using Range = std::pair<uint64_t, uint64_t>; // [begin, end)

// Byte ranges in order, runs that touch merged.
void addRange(std::vector<Range> &ranges, uint64_t begin, uint64_t size)
{
    if (!ranges.empty() && ranges.back().second == begin)
        ranges.back().second += size;
    else
        ranges.push_back({begin, begin + size});
}

class RealMovie : public testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        if (findOnPath("ffprobe").empty()) GTEST_SKIP() << "ffprobe is not installed (scripts/setup installs ffmpeg)";
        m_path = dataPath(std::string("movies/") + GetParam());
        ASSERT_EQ(LoadMovieStreams(widen(m_path).c_str(), &m_streams), S_OK);
    }

    std::string m_path;
    CMyMovieStreams m_streams;
};

TEST_P(RealMovie, VideoEntriesArePacketsWithTheirDecodeTimes)
{
    const auto packets = probePackets(m_path, "v:0");
    const auto &index = m_streams.video->GetSampleIndex();
    const LONG timeScale = m_streams.video->GetMediaTimeScale();
    ASSERT_EQ(index.size(), packets.size());
    for (size_t i = 0; i < index.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(int64_t(index[i].offset), packets[i].pos);
        EXPECT_EQ(int64_t(index[i].size), packets[i].size);
        EXPECT_EQ(index[i].sync == 1, packets[i].key);
        EXPECT_EQ(index[i].start, packets[i].dts * 10000000 / timeScale);
        EXPECT_EQ(index[i].stop, (packets[i].dts + packets[i].duration) * 10000000 / timeScale);
    }
}

TEST_P(RealMovie, SoundEntriesCoverTheSoundPacketsBytes)
{
    if (!m_streams.sound) {
        EXPECT_THROW(probePackets(m_path, "a:0"), std::runtime_error); // no sound there either
        return;
    }
    std::vector<Range> probed, indexed;
    for (const auto &packet : probePackets(m_path, "a:0"))
        addRange(probed, uint64_t(packet.pos), uint64_t(packet.size));
    uint64_t frames = 0;
    for (const auto &entry : m_streams.sound->GetSampleIndex()) {
        addRange(indexed, entry.offset, entry.size);
        frames += entry.sampleCount;
    }
    EXPECT_EQ(indexed, probed);
    EXPECT_GT(frames, 0u);
}

INSTANTIATE_TEST_SUITE_P(Movies, RealMovie,
                         testing::Values("baseline_sowt.mov", "main_aac_faststart.mov", "odd_size_sowt_3000.mov",
                                         "sowt_one_second_chunks.mov", "video_only_faststart.mov"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(RealMovieKinds, PinsOfTheRealMovies)
{
    CMyMovieStreams aac, pcm;
    ASSERT_EQ(LoadMovieStreams(widen(dataPath("movies/main_aac_faststart.mov")).c_str(), &aac), S_OK);
    EXPECT_STREQ(aac.GetSoundPinName(), L"Audio(AAC) Out");
    ASSERT_EQ(LoadMovieStreams(widen(dataPath("movies/baseline_sowt.mov")).c_str(), &pcm), S_OK);
    EXPECT_STREQ(pcm.GetSoundPinName(), L"Audio(PCM) Out");
    EXPECT_FALSE(pcm.camera);
}

} // namespace
} // namespace orvex::test
