// Loading movie files into stream infos: the file checks, the refusals with
// their result codes, and the camera and plain paths with their stream info
// kinds and pin names, on movies written by the test movie writer.
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/annexb.h"
#include "support/debug_capture.h"
#include "support/movie_writer.h"
#include "support/atom_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace orvex::test {
namespace {

VideoInput testVideo()
{
    return videoFromStream(parseAnnexB(readFileBytes(dataPath("movies/stream_176x144_15fps.h264"))), 176, 144);
}

HRESULT load(const std::string &path, CMyMovieStreams *streams)
{
    return LoadMovieStreams(widen(path).c_str(), streams);
}

// A load that must fail: the streams come back empty.
HRESULT refusal(const std::string &path)
{
    CMyMovieStreams streams;
    streams.camera = true;
    HRESULT hr = load(path, &streams);
    EXPECT_FALSE(streams.camera);
    EXPECT_EQ(streams.video, nullptr);
    EXPECT_EQ(streams.sound, nullptr);
    return hr;
}

HRESULT status(const std::string &path)
{
    CMyMovieStreams streams;
    return load(path, &streams);
}

TEST(MovieLoading, PathsThatCannotBeLookedUpGiveTheSystemError)
{
    ScratchDir dir;
    EXPECT_EQ(refusal(dir.path("missing.mov")), HRESULT(0x80070002));
    EXPECT_EQ(refusal(dir.path("no-folder/missing.mov")), HRESULT(0x80070003));
}

TEST(MovieLoading, FileOf4GiBIsRefusedBeforeItIsRead)
{
    ScratchDir dir;
    const std::string path = dir.path("huge.mov");
    writeFileBytes(path, {});
    std::filesystem::resize_file(path, 0x100000000ULL); // sparse: takes no room
    DebugCapture capture;
    EXPECT_EQ(refusal(path), E_INVALIDARG);
    EXPECT_EQ(capture.count("COrvexMovFileParserFilter::setSourceFile fileSize = 4294967296 \n"), 1u);

    std::filesystem::resize_file(path, 0xFFFFFFFFULL);
    capture.clear();
    EXPECT_EQ(refusal(path), E_INVALIDARG); // passes the size check, then is no movie
    EXPECT_FALSE(capture.contains("fileSize"));
    EXPECT_TRUE(capture.contains("Not MOV File format \n"));
}

TEST(MovieLoading, FilesThatAreNoServableMovieAreRefused)
{
    ScratchDir dir;
    const Atom moov = movieAtom({videoTrack(15000, 5000, evenVideoTables(5, 1000, 10, kMdatBodyOffset))});
    EXPECT_EQ(refusal(dir.write("empty.mov", {})), E_INVALIDARG);
    EXPECT_EQ(refusal(dir.write("text.mov", Bytes{'h', 'e', 'l', 'l', 'o', '\n'})), E_INVALIDARG);
    EXPECT_EQ(refusal(dir.write("no-mdat.mov", fileBytes({moov}))), E_INVALIDARG);
    EXPECT_EQ(refusal(dir.write("no-moov.mov", fileBytes({Atom("mdat", Bytes(50))}))), E_INVALIDARG);
    EXPECT_EQ(status(dir.write("ok.mov", movieFileBytes(moov, Bytes(50)))), S_OK);

    DebugCapture capture;
    const Atom sound = movieAtom({soundTrack(
        "sowt", 1, 16, 8000, 16,
        {qt::stts({{16, 1}}), qt::stsc({{1, 16, 1}}), qt::stszCommon(1, 16), qt::stco({kMdatBodyOffset})})});
    EXPECT_EQ(refusal(dir.write("no-video.mov", movieFileBytes(sound, Bytes(50)))), E_INVALIDARG);
    EXPECT_TRUE(capture.contains("Can't use OrvexMovParserFilter \n"));
}

TEST(MovieLoading, SampleBeyondTheMediaDataRefusesTheMovie)
{
    ScratchDir dir;
    const Atom moov = movieAtom({videoTrack(15000, 5000, evenVideoTables(5, 1000, 10, kMdatBodyOffset))});
    EXPECT_EQ(status(dir.write("fits.mov", movieFileBytes(moov, Bytes(50)))), S_OK);
    DebugCapture capture;
    EXPECT_EQ(refusal(dir.write("short.mov", movieFileBytes(moov, Bytes(49)))), E_INVALIDARG);
    EXPECT_TRUE(capture.contains("ChunkOffset Error  \n"));
}

TEST(MovieLoading, MovieAtomThatIsNoMovieIsRefused)
{
    ScratchDir dir;
    Atom moov = movieAtom({videoTrack(15000, 5000, evenVideoTables(5, 1000, 10, kMdatBodyOffset))});
    std::swap(moov.children()[0], moov.children()[1]); // 'trak' first
    EXPECT_EQ(refusal(dir.write("trak-first.mov", movieFileBytes(moov, Bytes(50)))), E_INVALIDARG);
}

TEST(MovieLoading, PlainMovieMakesTheQuickTimeStreamInfos)
{
    ScratchDir dir;
    SoundInput sound = makeSound(2.5, 2, 8000);
    WrittenMovie written = writeMovie(testVideo(), &sound);
    DebugCapture capture;
    CMyMovieStreams streams;
    ASSERT_EQ(load(dir.write("plain.mov", written.file), &streams), S_OK);
    EXPECT_EQ(capture.count("Create Output Pins as QuickTimeMovie \n"), 1u);
    EXPECT_FALSE(streams.camera);
    EXPECT_NE(dynamic_cast<CH264MediaStreamInfo *>(streams.video.get()), nullptr);
    EXPECT_NE(dynamic_cast<CPCMSoundMediaStreamInfo *>(streams.sound.get()), nullptr);
    EXPECT_EQ(streams.soundKind, CMyMovieStreams::ESoundKind::kPCM);
    EXPECT_STREQ(streams.GetVideoPinName(), L"Video(H.264) Out");
    EXPECT_STREQ(streams.GetSoundPinName(), L"Audio(PCM) Out");
    EXPECT_EQ(streams.lastMediaByte, written.mdatOffset + written.mdatSize - 1);

    const auto &video = streams.video->GetSampleIndex();
    ASSERT_EQ(video.size(), written.videoOffsets.size());
    for (size_t i = 0; i < video.size(); ++i)
        EXPECT_EQ(video[i].offset, written.videoOffsets[i]);
    // The plain sound index has an entry a chunk: here the same seconds as the camera's.
    EXPECT_EQ(streams.sound->GetEntryCount(), 3u);
}

// Damaged tables and atoms cost only the lookups that would read outside
// them: each row damages the movie atom of a written video-only movie ('moov'
// after 'mdat', so the sample offsets stay) and says what loading still gives.
TEST(MovieLoading, DamageRefusesOnlyWhatWouldBeReadOutsideAnAtom)
{
    const VideoInput video = testVideo();
    const size_t samples = video.samples.size();
    size_t firstNonSync = 0;
    while (firstNonSync < samples && video.sync[firstNonSync])
        ++firstNonSync;
    const uint32_t rawSmall = 4; // an extension atom smaller than a header
    const Atom colr("colr", ByteWriter().fourcc("nclc").be16(1).be16(1).be16(1).data());
    const auto raiseCount = [](Atom &table, size_t at) { ++table.body()[at]; };

    struct Row {
        const char *name;
        std::function<void(Atom &moov)> damage;
        size_t entries;      // of the video index; 0 with a refused movie
        int colourPrimaries; // -1: not looked at
    };
    const std::vector<Row> rows = {
        {"none", [](Atom &) {}, samples, 2},
        {"stsz count one larger", [&](Atom &m) { raiseCount(*m.find("trak/mdia/minf/stbl/stsz"), 11); }, samples, -1},
        {"stts count one larger", [&](Atom &m) { raiseCount(*m.find("trak/mdia/minf/stbl/stts"), 7); }, samples, -1},
        // The sync samples are found; the first other sample's lookup leaves the table.
        {"stss count one larger", [&](Atom &m) { raiseCount(*m.find("trak/mdia/minf/stbl/stss"), 7); }, firstNonSync,
         -1},
        {"negative elst count, identity entry 0",
         [](Atom &m) {
             const Bytes &tkhd = m.find("trak/tkhd")->body();
             const uint32_t duration = uint32_t(tkhd[20]) << 24 | tkhd[21] << 16 | tkhd[22] << 8 | tkhd[23];
             Atom edts = qt::edts({{duration, 0, 0x10000}});
             edts.children()[0].body()[4] = 0xFF; // count 0xFF000001
             m.find("trak")->add(std::move(edts));
         },
         samples, -1},
        {"negative elst count, media time 1",
         [](Atom &m) {
             Atom edts = qt::edts({{1, 1, 0x10000}});
             edts.children()[0].body()[4] = 0xFF;
             m.find("trak")->add(std::move(edts));
         },
         0, -1},
        {"dref entry of 8 bytes", [](Atom &m) { m.find("trak/mdia/minf/dinf/dref")->children()[0].setSize(8); },
         samples, -1},
        {"colr after an atom of 4 bytes",
         [&](Atom &m) {
             *m.find("trak/mdia/minf/stbl/stsd") = qt::stsd({qt::imageDescription(
                 "avc1", video.width, video.height,
                 {qt::avcC(video.sps, video.pps), Atom::raw(ByteWriter().be32(rawSmall).data()), colr})});
         },
         samples, 1},
    };
    ScratchDir dir;
    for (const Row &row : rows) {
        WrittenMovie written = writeMovie(video, nullptr);
        ASSERT_GT(written.moovOffset, written.mdatOffset);
        row.damage(written.moov);
        Bytes file(written.file.begin(), written.file.begin() + long(written.moovOffset));
        written.moov.writeTo(file);
        CMyMovieStreams streams;
        const HRESULT hr = load(dir.write("damaged.mov", file), &streams);
        if (row.entries == 0) {
            EXPECT_EQ(hr, E_INVALIDARG) << row.name;
            continue;
        }
        ASSERT_EQ(hr, S_OK) << row.name;
        EXPECT_EQ(streams.video->GetEntryCount(), row.entries) << row.name;
        if (row.colourPrimaries < 0) continue;
        const auto *h264 = dynamic_cast<const CH264MediaStreamInfo *>(streams.video.get());
        ASSERT_NE(h264, nullptr);
        const CMyVideoSignalInfo signal =
            GetVideoSignalInfo(&h264->GetAVCConfiguration()->GetSPS(), h264->GetImageDescription());
        EXPECT_EQ(signal.m_colour_primaries, row.colourPrimaries) << row.name;
    }
}

TEST(MovieLoading, CameraMovieTakesTheCameraPath)
{
    ScratchDir dir;
    const VideoInput input = testVideo();
    SoundInput sound = makeSound(2.5, 2, 8000);
    WrittenMovie written = writeMovie(input, &sound, {MovieLayout::kCamera});
    DebugCapture capture;
    CMyMovieStreams streams;
    ASSERT_EQ(load(dir.write("camera.mov", written.file), &streams), S_OK);
    EXPECT_FALSE(capture.contains("Create Output Pins as QuickTimeMovie"));
    EXPECT_TRUE(streams.camera);
    EXPECT_NE(dynamic_cast<COrvexCameraH264MediaStreamInfo *>(streams.video.get()), nullptr);
    EXPECT_NE(dynamic_cast<COrvexCameraPCMSoundMediaStreamInfo *>(streams.sound.get()), nullptr);
    EXPECT_STREQ(streams.GetVideoPinName(), L"Video(Orvex H.264) Out");
    EXPECT_STREQ(streams.GetSoundPinName(), L"Audio(PCM) Out");

    // Video: the writer's samples, a sync entry every 15 (the stream's IDR distance).
    const auto &video = streams.video->GetSampleIndex();
    ASSERT_EQ(video.size(), input.samples.size());
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].offset, written.videoOffsets[i]);
        EXPECT_EQ(video[i].size, input.samples[i].size());
        EXPECT_EQ(video[i].sync, i % 15 == 0 ? 1u : 0u) << i;
        EXPECT_EQ(video[i].start, MediaTimeToReferenceTime(LONGLONG(i) * 1000, 15000));
    }

    // Sound: two whole seconds of 8000 stereo frames, then half a second.
    const auto &audio = streams.sound->GetSampleIndex();
    ASSERT_EQ(audio.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(audio[i].size, 32000u);
        EXPECT_EQ(audio[i].start, LONGLONG(i) * 10000000);
        EXPECT_EQ(audio[i].stop, LONGLONG(i + 1) * 10000000);
        EXPECT_EQ(audio[i].offset, written.soundChunkOffsets[i]);
    }
    EXPECT_EQ(audio[2].size, 16000u);
    EXPECT_EQ(audio[2].sampleCount, 4000u);
    EXPECT_EQ(audio[2].start, 20000000);
    EXPECT_EQ(audio[2].stop, 25000000);
    EXPECT_EQ(audio[2].offset, written.soundChunkOffsets[2]);
}

TEST(MovieLoading, CameraWrittenMovieWithoutSoundIsPlain)
{
    ScratchDir dir;
    WrittenMovie written = writeMovie(testVideo(), nullptr, {MovieLayout::kCamera, true});
    CMyMovieStreams streams;
    ASSERT_EQ(load(dir.write("camera-video.mov", written.file), &streams), S_OK);
    // Without a second 'trak' the movie atom does not have the camera layout.
    EXPECT_FALSE(streams.camera);
    EXPECT_STREQ(streams.GetVideoPinName(), L"Video(H.264) Out");
    EXPECT_EQ(streams.sound, nullptr);
    EXPECT_EQ(streams.soundKind, CMyMovieStreams::ESoundKind::kNone);
    EXPECT_EQ(streams.GetSoundPinName(), nullptr);
}

TEST(MovieLoading, CameraSoundShorterThanOneChunkIsRefused)
{
    // Its only chunk holds less than a second, which the camera index cannot tell.
    ScratchDir dir;
    SoundInput sound = makeSound(0.5, 1, 8000);
    WrittenMovie written = writeMovie(testVideo(), &sound, {MovieLayout::kCamera});
    CMyMovieStreams streams;
    EXPECT_EQ(load(dir.write("camera-short.mov", written.file), &streams), E_INVALIDARG);
    EXPECT_EQ(streams.video, nullptr);
}

} // namespace
} // namespace orvex::test
