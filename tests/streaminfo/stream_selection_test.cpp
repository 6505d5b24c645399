// Stream selection: each row a movie atom, the tracks chosen and lines the
// listing must hold, or the refusal of an unreadable track.
#include "MovFileParserFilter/MovStreamSelection.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvex::test {
namespace {

qt::TrackAtoms h264(std::vector<uint32_t> edits = {})
{
    auto track = videoTrack(600, 500, evenVideoTables(5, 100, 10, 100));
    track.edits = std::move(edits);
    return track;
}
qt::TrackAtoms sowt(std::vector<Atom> descriptions = {}, std::vector<uint32_t> edits = {})
{
    auto track = soundTrack("sowt", 1, 16, 8000, 8000, "stts 8000 1; stsc 1 8000 1; stsz =1 #8000; stco 200");
    if (!descriptions.empty()) track.sampleDescriptions = qt::stsd(std::move(descriptions));
    track.edits = std::move(edits);
    return track;
}
qt::TrackAtoms described(qt::TrackAtoms track, const std::string &mediaType, std::vector<Atom> descriptions)
{
    track.mediaType = mediaType;
    track.sampleDescriptions = qt::stsd(std::move(descriptions));
    return track;
}

// "hr video K sound K" (K the track number, 0 for none), or what selection threw.
std::string choice(const Atom &moov)
{
    auto movie = movieFrom(moov);
    auto number = [&](const CMyQTMedia *media) {
        for (LONG k = 1; k <= GetMovieTrackCount(movie.get()); ++k)
            if (media && media == mediaOf(movie, k)) return k;
        return LONG(0);
    };
    return answerOf([&] {
        CMyQTMedia *video = nullptr, *sound = nullptr;
        const HRESULT hr = selectStreams(movie.get(), &video, &sound);
        return std::string(hr == S_OK           ? "S_OK"
                           : hr == E_INVALIDARG ? "E_INVALIDARG"
                                                : "?") +
               " video " + std::to_string(number(video)) + " sound " + std::to_string(number(sound));
    });
}

// A row: the tracks, changes to the movie atom (Atom::edit), the choice and
// lines the listing must hold.
struct Row {
    const char *name;
    std::vector<qt::TrackAtoms> tracks;
    std::string changes;
    std::string expected;
    std::vector<std::string> traced = {};
};

class StreamSelection : public ::testing::TestWithParam<Row> {};

TEST_P(StreamSelection, Chooses)
{
    const Atom moov = movieAtomWith(GetParam().tracks).edit(GetParam().changes);
    DebugCapture capture;
    EXPECT_EQ(choice(moov), GetParam().expected);
    const auto messages = capture.messages();
    for (const std::string &line : GetParam().traced)
        EXPECT_NE(std::find(messages.begin(), messages.end(), line), messages.end()) << line;
}

const Atom kAvc1 = qt::imageDescription("avc1", 176, 144, {qt::avcC(testStream().sps, testStream().pps)});
const std::string kSoundDref = "trak[1]/mdia/minf/dinf/dref";

INSTANTIATE_TEST_SUITE_P(
    Rows, StreamSelection,
    ::testing::Values(
        Row{"FirstVideoAndFirstSound",
            {h264(), sowt(), h264(), sowt()},
            "",
            "S_OK video 1 sound 2",
            {"\nMediaType : 'vide' \n", "sampleDesc(1) : 'avc1' \n", "sampleDesc(1) : 'sowt' \n",
             "mediaTimeScale   = 600 \n", "mediaDuration    = 500 \n", "seconds          = 0.833333 \n",
             "frames           = 5 \n", "fps              = 6.000000 \n", "durationPerFrame = 0.166667 \n"}},
        Row{"EditedVideoPassedOver", {h264({500, 100, 0x10000}), h264()}, "", "S_OK video 2 sound 0"},
        Row{"TwoSampleDescriptions",
            {described(h264(), "vide", {kAvc1, kAvc1})},
            "",
            "E_INVALIDARG video 0 sound 0",
            {"nSampleDescs isn't 1 but 2 \n"}},
        Row{"VideoWithoutConfigurationRecord",
            {h264(), sowt()},
            "trak/mdia/minf/stbl/stsd/* cut 78",
            "E_INVALIDARG video 0 sound 0"},
        Row{"SoundNotInTheFile",
            {h264(), sowt()},
            kSoundDref + "/* type alis; " + kSoundDref + "/* word 0 0",
            "S_OK video 1 sound 0",
            {"Not selfReference media \n"}},
        Row{"SoundWithTwoDataReferences",
            {h264(), sowt()},
            kSoundDref + " byte 7 2",
            "S_OK video 1 sound 0",
            {"Media has 2 DataRefs \n", "Not selfReference media \n"}},
        Row{"UnservableSoundThenAAC",
            {h264(), sowt({qt::soundDescription("twos", 1, 16, 8000)}),
             sowt({qt::soundDescription("mp4a", 1, 16, 8000, 0, 0, {Atom("esds", Bytes(24, 3))})})},
            "",
            "S_OK video 1 sound 3",
            {"Can't handle this sound media \n"}},
        Row{"EditedSound", {h264(), sowt({}, {100, 0, 0x20000})}, "", "S_OK video 1 sound 0"},
        // Tracks without tables or of other kinds are listed only.
        Row{"TextAndBareSoundListedOnly",
            {described(h264(), "text", {Atom("text", Bytes(8, 0))}), sowt(), h264()},
            "trak[1]/mdia/minf/stbl/stsc drop; trak[1]/mdia/minf/stbl/stco drop",
            "S_OK video 3 sound 0"},
        // Unreadable tracks fail the whole load.
        Row{"TimecodeTrack", {h264(), sowt(), described(h264(), "tmcd", {Atom("tmcd", Bytes(16, 0))})}, "", "E23"},
        Row{"TrackWithoutMedia", {h264(), sowt()}, "trak[1]/mdia drop", "E27"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
