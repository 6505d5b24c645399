// The test movie writer and the Annex-B splitter, checked through the
// reading layer and against ffprobe: the movies other tests rely on must be
// what they claim to be.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"
#include "ffprobe_packets.h"
#include "qt_test_util.h"
#include "support/annexb.h"
#include "support/movie_writer.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

H264Stream testStream()
{
    return parseAnnexB(readFileBytes(dataPath("movies/stream_176x144_15fps.h264")));
}

TEST(AnnexB, SplitsTheStreamIntoAccessUnits)
{
    H264Stream stream = testStream();
    ASSERT_EQ(stream.accessUnits.size(), 30u); // 2 s at 15 fps
    ASSERT_FALSE(stream.sps.empty());
    ASSERT_FALSE(stream.pps.empty());
    EXPECT_EQ(stream.sps[0] & 0x1F, 7);
    EXPECT_EQ(stream.pps[0] & 0x1F, 8);
    for (size_t i = 0; i < stream.accessUnits.size(); ++i) {
        EXPECT_EQ(stream.accessUnits[i].idr, i % 15 == 0) << i;
        // Length-prefixed NAL units filling the sample exactly.
        const Bytes &sample = stream.accessUnits[i].sample;
        size_t at = 0;
        while (at + 4 <= sample.size())
            at += 4 + MyQTReadBE32(sample.data() + at);
        EXPECT_EQ(at, sample.size()) << i;
    }
}

TEST(AnnexB, HandlesThreeAndFourByteStartCodes)
{
    Bytes stream = {0, 0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x68, 0xCE, 0, 0, 1, 0x65, 0x88, 0x80, 0, 0, 0, 1, 0x41, 0x9A};
    H264Stream parsed = parseAnnexB(stream);
    EXPECT_EQ(parsed.sps, (Bytes{0x67, 0x42}));
    EXPECT_EQ(parsed.pps, (Bytes{0x68, 0xCE}));
    ASSERT_EQ(parsed.accessUnits.size(), 2u);
    EXPECT_TRUE(parsed.accessUnits[0].idr);
    EXPECT_EQ(parsed.accessUnits[0].sample, (Bytes{0, 0, 0, 3, 0x65, 0x88, 0x80}));
    EXPECT_FALSE(parsed.accessUnits[1].idr);
}

struct WriterCase {
    const char *name;
    MovieLayout layout;
    bool moovFirst;
    double soundSeconds; // 0: no sound
    uint16_t channels;
};

class WrittenMovies : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WrittenMovies, ReadBackAsWritten)
{
    const WriterCase &c = GetParam();
    VideoInput video = videoFromStream(testStream(), 176, 144);
    SoundInput sound = makeSound(c.soundSeconds, c.channels);
    WrittenMovie written = writeMovie(video, c.soundSeconds > 0 ? &sound : nullptr, {c.layout, c.moovFirst});
    TempDir dir;
    std::string path = dir.write("w.mov", written.file);

    auto movie = LoadMovieAtom(widen(path).c_str());
    ULONGLONG mdatOffset = 0, mdatSize = 0;
    FindMdatAtom(widen(path).c_str(), &mdatOffset, &mdatSize);
    EXPECT_EQ(mdatOffset, written.mdatOffset);
    EXPECT_EQ(mdatSize, written.mdatSize);
    ULONGLONG last = GetLastMediaByte(mdatOffset, mdatSize);
    bool camera = c.layout == MovieLayout::kCamera && c.soundSeconds > 0;
    EXPECT_EQ(IsCameraMovieLayout(*movie), camera);

    CMyQTMedia *v = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    EXPECT_FALSE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    ASSERT_EQ(GetMediaSampleCount(v), LONG(video.samples.size()));
    for (LONG i = 0; i < LONG(video.samples.size()); ++i) {
        DWORD offset = 0, size = 0;
        WORD flags = 0;
        LONG sampleTime = 0;
        GetMediaSampleReference(v, &offset, &size, i * 1000, &sampleTime, nullptr, nullptr, nullptr, 1, nullptr,
                                &flags);
        EXPECT_EQ(offset, written.videoOffsets[size_t(i)]);
        EXPECT_EQ(sampleTime, i * 1000);
        EXPECT_EQ(flags == 0, bool(video.sync[size_t(i)]));
        ASSERT_EQ(size, video.samples[size_t(i)].size());
        EXPECT_TRUE(std::equal(video.samples[size_t(i)].begin(), video.samples[size_t(i)].end(),
                               written.file.begin() + offset));
        EXPECT_LE(ULONGLONG(offset) + size - 1, last);
    }

    if (c.soundSeconds == 0) {
        EXPECT_EQ(GetMovieTrackCount(movie.get()), 1);
        return;
    }
    CMyQTMedia *s = GetTrackMedia(GetMovieIndTrack(movie.get(), 2));
    CMySoundDescription description(s, 1);
    EXPECT_EQ(description.GetBytesPerFrame(), 2 * c.channels);
    size_t chunk = 0;
    for (LONG t = 0; t < GetMediaDuration(s); ++chunk) {
        DWORD offset = 0, size = 0;
        LONG sampleTime = 0, per = 0, count = 0;
        GetMediaSampleReference(s, &offset, &size, t, &sampleTime, &per, nullptr, nullptr, 0, &count, nullptr);
        ASSERT_LT(chunk, written.soundChunkOffsets.size());
        EXPECT_EQ(offset, written.soundChunkOffsets[chunk]);
        EXPECT_EQ(DWORD(count), written.soundChunkFrames[chunk]);
        EXPECT_EQ(size, DWORD(count) * sound.bytesPerFrame());
        EXPECT_TRUE(std::equal(written.file.begin() + offset, written.file.begin() + offset + size,
                               sound.pcm.begin() + long(sampleTime) * sound.bytesPerFrame()));
        t = sampleTime + per * count;
    }
    EXPECT_EQ(chunk, written.soundChunkOffsets.size());

    // ffprobe reads the same video samples.
    std::vector<ProbePacket> packets = probePackets(path, "v:0");
    ASSERT_EQ(packets.size(), video.samples.size());
    for (size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].pos, written.videoOffsets[i]);
        EXPECT_EQ(packets[i].key, bool(video.sync[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, WrittenMovies,
                         ::testing::Values(WriterCase{"CameraStereo2s", MovieLayout::kCamera, false, 2.0, 2},
                                           WriterCase{"CameraMonoShortLastChunk", MovieLayout::kCamera, true, 2.4, 1},
                                           WriterCase{"CameraHalfSecond", MovieLayout::kCamera, false, 0.5, 1},
                                           WriterCase{"PlainMoovFirst", MovieLayout::kPlain, true, 1.5, 2},
                                           WriterCase{"PlainVideoOnly", MovieLayout::kPlain, false, 0, 1},
                                           WriterCase{"CameraVideoOnly", MovieLayout::kCamera, false, 0, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WrittenMovieTables, CameraSoundChunksAreOneSecondEach)
{
    VideoInput video = videoFromStream(testStream(), 176, 144);
    SoundInput sound = makeSound(2.25, 2, 8000);
    WrittenMovie written = writeMovie(video, &sound, {MovieLayout::kCamera, false});
    EXPECT_EQ(written.soundChunkFrames, (std::vector<uint32_t>{8000, 8000, 2000}));
    Atom *stsc = written.moov.find("trak[1]/mdia/minf/stbl/stsc");
    ASSERT_NE(stsc, nullptr);
    EXPECT_EQ(stsc->bytes(), qt::stsc({{1, 8000, 1}, {3, 2000, 1}}).bytes());
    Atom *stss = written.moov.find("trak/mdia/minf/stbl/stss");
    ASSERT_NE(stss, nullptr);
    EXPECT_EQ(stss->bytes(), qt::stss({1, 16}).bytes());
    Atom *udta = written.moov.find("udta");
    ASSERT_NE(udta, nullptr);
    EXPECT_EQ(udta->bytes().size(), 28u);
}

} // namespace
} // namespace orvex::test
