// Real movies written by ffmpeg (tests/data/movies): their sample tables as
// the reading layer answers them, compared with what ffprobe reports.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"
#include "ffprobe_packets.h"
#include "qt_test_util.h"

#include <gtest/gtest.h>

#include <map>

namespace orvex::test {
namespace {

struct RealMovie {
    const char *file;
    int16_t width, height;
    const char *soundFormat; // null: no sound
};

const RealMovie kMovies[] = {
    {"baseline_sowt.mov", 160, 120, "sowt"},         {"main_aac_faststart.mov", 160, 120, "mp4a"},
    {"odd_size_sowt_3000.mov", 162, 98, "sowt"},     {"sowt_one_second_chunks.mov", 176, 144, "sowt"},
    {"video_only_faststart.mov", 176, 144, nullptr},
};

class RealMovies : public ::testing::TestWithParam<RealMovie> {
protected:
    void SetUp() override
    {
        path = dataPath(std::string("movies/") + GetParam().file);
        movie = LoadMovieAtom(widen(path).c_str());
        ULONGLONG offset = 0, size = 0;
        FindMdatAtom(widen(path).c_str(), &offset, &size);
        lastMediaByte = GetLastMediaByte(offset, size);
        for (LONG k = 1; k <= GetMovieTrackCount(movie.get()); ++k) {
            CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), k));
            DWORD type = 0;
            GetMediaHandlerDescription(media, &type, nullptr, nullptr);
            if (type == MyQTFourCC("vide") && !video) video = media;
            if (type == MyQTFourCC("soun") && !sound) sound = media;
        }
    }

    std::string path;
    std::unique_ptr<CMyQTMovie> movie;
    ULONGLONG lastMediaByte = 0;
    CMyQTMedia *video = nullptr;
    CMyQTMedia *sound = nullptr;
};

TEST_P(RealMovies, VideoSamplesAgreeWithFfprobe)
{
    ASSERT_NE(video, nullptr);
    std::vector<ProbePacket> packets = probePackets(path, "v:0");
    ASSERT_EQ(GetMediaSampleCount(video), LONG(packets.size()));
    LONG duration = GetMediaDuration(video);
    // Sample after sample, as the video stream info builds its index.
    size_t i = 0;
    for (LONG t = 0; t < duration; ++i) {
        ASSERT_LT(i, packets.size());
        DWORD offset = 0, size = 0;
        LONG sampleTime = -1, per = 0, count = 0;
        WORD flags = 0xFFFF;
        GetMediaSampleReference(video, &offset, &size, t, &sampleTime, &per, nullptr, nullptr, 1, &count, &flags);
        EXPECT_EQ(offset, packets[i].pos) << "sample " << i;
        EXPECT_EQ(size, packets[i].size) << "sample " << i;
        EXPECT_EQ(flags == 0, packets[i].key) << "sample " << i;
        EXPECT_EQ(sampleTime, packets[i].dts) << "sample " << i;
        EXPECT_EQ(per, packets[i].duration) << "sample " << i;
        EXPECT_EQ(count, 1);
        EXPECT_LE(ULONGLONG(offset) + size - 1, lastMediaByte);
        ASSERT_GT(per, 0);
        t = sampleTime + per;
    }
    EXPECT_EQ(i, packets.size());
}

// ffprobe splits sound chunks into packets of its own; each chunk the reading
// layer returns must be tiled exactly by consecutive packets.
class RealMoviesWithSound : public RealMovies {};

TEST_P(RealMoviesWithSound, SoundChunksAreTiledByFfprobePackets)
{
    ASSERT_NE(sound, nullptr);
    std::vector<ProbePacket> packets = probePackets(path, "a:0");
    std::map<int64_t, size_t> byPosition;
    for (size_t k = 0; k < packets.size(); ++k)
        byPosition[packets[k].pos] = k;
    LONG duration = GetMediaDuration(sound);
    size_t covered = 0, chunks = 0;
    for (LONG t = 0; t < duration; ++chunks) {
        DWORD offset = 0, size = 0;
        LONG sampleTime = -1, per = 0, count = 0;
        GetMediaSampleReference(sound, &offset, &size, t, &sampleTime, &per, nullptr, nullptr, 0, &count, nullptr);
        ASSERT_TRUE(byPosition.count(offset)) << "chunk at " << offset;
        size_t k = byPosition[offset];
        EXPECT_EQ(packets[k].dts, sampleTime);
        int64_t end = int64_t(offset) + size, at = offset;
        while (at < end) {
            ASSERT_LT(k, packets.size());
            ASSERT_EQ(packets[k].pos, at);
            at += packets[k].size;
            ++k;
            ++covered;
        }
        EXPECT_EQ(at, end);
        ASSERT_GT(per * count, 0);
        t = sampleTime + per * count;
    }
    EXPECT_EQ(covered, packets.size());
    EXPECT_GT(chunks, 0u);
}

TEST_P(RealMovies, AreServableShapes)
{
    ASSERT_NE(video, nullptr);
    EXPECT_FALSE(IsCameraMovieLayout(*movie));
    for (LONG k = 1; k <= GetMovieTrackCount(movie.get()); ++k)
        EXPECT_FALSE(TrackHasEdits(GetMovieIndTrack(movie.get(), k))) << k;
    EXPECT_TRUE(MediaHasSampleTables(video));
    EXPECT_FALSE(MediaHasCompositionTimes(video));
    EXPECT_EQ(GetMediaSampleDescriptionCount(video), 1);
    SHORT refs = 0;
    GetMediaDataRefCount(video, &refs);
    EXPECT_EQ(refs, 1);
    DWORD type = 0;
    LONG attributes = 0;
    GetMediaDataRef(video, 1, nullptr, &type, &attributes);
    EXPECT_EQ(attributes & 1, 1);

    CMyQTHandlePtr copy(NewHandle(214));
    GetMediaSampleDescription(video, 1, copy.get());
    CMyImageDescription image(copy->GetData(), GetHandleSize(copy.get()));
    EXPECT_EQ(image.GetDataFormat(), MyQTFourCC("avc1"));
    EXPECT_EQ(image.GetWidth(), GetParam().width);
    EXPECT_EQ(image.GetHeight(), GetParam().height);
    const BYTE *avcc = image.FindExtension(MyQTFourCC("avcC"));
    ASSERT_NE(avcc, nullptr);
    EXPECT_EQ(avcc[8], 1); // configurationVersion
    LONG scale = 0, duration = 0, count = 0;
    EXPECT_EQ(GetVideoMediaInfo(video, &scale, &duration, &count), 0);
    EXPECT_GT(scale, 0);
}

TEST_P(RealMoviesWithSound, SoundDescriptionsReadAsWritten)
{
    ASSERT_NE(sound, nullptr);
    CMySoundDescription description(sound, 1);
    EXPECT_EQ(description.GetDataFormat(), fourccValue(GetParam().soundFormat));
    EXPECT_EQ(description.GetSampleRate(), DWORD(GetMediaTimeScale(sound)));
    if (std::string(GetParam().soundFormat) == "sowt") {
        EXPECT_EQ(description.GetBytesPerFrame(), description.GetNumberOfChannels() * 2);
        EXPECT_EQ(GetMediaSampleSize(sound, 0), DWORD(description.GetBytesPerFrame()));
    }
}

std::string movieName(const ::testing::TestParamInfo<RealMovie> &info)
{
    std::string name = info.param.file;
    return name.substr(0, name.find('.'));
}

std::vector<RealMovie> moviesWithSound()
{
    std::vector<RealMovie> out;
    for (const RealMovie &m : kMovies)
        if (m.soundFormat) out.push_back(m);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Movies, RealMovies, ::testing::ValuesIn(kMovies), movieName);
INSTANTIATE_TEST_SUITE_P(Movies, RealMoviesWithSound, ::testing::ValuesIn(moviesWithSound()), movieName);

TEST(RealMovieChunks, OneSecondChunksEndWithAShorterOne)
{
    auto movie = LoadMovieAtom(widen(dataPath("movies/sowt_one_second_chunks.mov")).c_str());
    CMyQTMedia *sound = GetTrackMedia(GetMovieIndTrack(movie.get(), 2));
    std::vector<LONG> counts;
    for (LONG t = 0; t < GetMediaDuration(sound);) {
        LONG sampleTime = 0, per = 0, count = 0;
        DWORD size = 0;
        GetMediaSampleReference(sound, nullptr, &size, t, &sampleTime, &per, nullptr, nullptr, 0, &count, nullptr);
        EXPECT_EQ(size, DWORD(count) * 2);
        counts.push_back(count);
        t = sampleTime + per * count;
    }
    EXPECT_EQ(counts, (std::vector<LONG>{8000, 8000, 4000}));
}

} // namespace
} // namespace orvex::test
