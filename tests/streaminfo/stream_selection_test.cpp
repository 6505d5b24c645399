// Stream selection: the first usable H.264 video track and the first usable
// sound track, the listing every track writes, and the tracks that fail the
// whole load because they cannot be read. Each row is a movie atom, the
// choice as text and lines the listing must hold.
#include "MovFileParserFilter/MovStreamSelection.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvex::test {
namespace {

qt::TrackAtoms h264()
{
    return videoTrack(600, 500, evenVideoTables(5, 100, 10, 100));
}
qt::TrackAtoms sowt(std::vector<Atom> descriptions = {})
{
    auto track = soundTrack("sowt", 1, 16, 8000, 8000, "stts 8000 1; stsc 1 8000 1; stsz =1 #8000; stco 200");
    if (!descriptions.empty()) track.sampleDescriptions = qt::stsd(std::move(descriptions));
    return track;
}
template <typename F> qt::TrackAtoms changed(qt::TrackAtoms track, F change)
{
    change(track);
    return track;
}
void removeChild(Atom &parent, const std::string &type)
{
    auto &children = parent.children();
    children.erase(std::remove_if(children.begin(), children.end(), [&](Atom &a) { return a.type() == type; }),
                   children.end());
}
template <typename F> Atom damaged(F damage)
{
    Atom moov = movieAtomWith({h264(), sowt()});
    damage(moov);
    return moov;
}

// "hr video K sound K" (K the track number, 0 for none), or what selection threw.
std::string choice(const Atom &moov, DebugCapture &capture)
{
    auto movie = movieFrom(moov);
    capture.clear();
    CMyQTMedia *video = nullptr, *sound = nullptr;
    HRESULT hr = E_FAIL;
    const std::string thrown = outcome([&] { hr = selectStreams(movie.get(), &video, &sound); });
    if (thrown != "ok") return thrown;
    auto number = [&](const CMyQTMedia *media) {
        for (LONG k = 1; k <= GetMovieTrackCount(movie.get()); ++k)
            if (media && media == mediaOf(movie, k)) return k;
        return LONG(0);
    };
    return (hr == S_OK           ? "S_OK"
            : hr == E_INVALIDARG ? "E_INVALIDARG"
                                 : "?") +
           std::string(" video ") + std::to_string(number(video)) + " sound " + std::to_string(number(sound));
}

struct Row {
    const char *name;
    std::function<Atom()> moov;
    std::string expected;
    std::vector<std::string> traced;
};

class StreamSelection : public ::testing::TestWithParam<Row> {};

TEST_P(StreamSelection, Chooses)
{
    DebugCapture capture;
    EXPECT_EQ(choice(GetParam().moov(), capture), GetParam().expected);
    const auto messages = capture.messages();
    for (const std::string &line : GetParam().traced)
        EXPECT_NE(std::find(messages.begin(), messages.end(), line), messages.end()) << line;
}

const std::string kVideoListed = "MediaType : 'vide' \n";

INSTANTIATE_TEST_SUITE_P(
    Rows, StreamSelection,
    ::testing::Values(
        Row{"FirstVideoAndFirstSound",
            [] {
                return movieAtomWith({h264(), sowt(), h264(), sowt()});
            },
            "S_OK video 1 sound 2",
            {"\nMediaType : 'vide' \n", "sampleDesc(1) : 'avc1' \n", "sampleDesc(1) : 'sowt' \n",
             "mediaTimeScale   = 600 \n", "mediaDuration    = 500 \n", "seconds          = 0.833333 \n",
             "frames           = 5 \n", "fps              = 6.000000 \n", "durationPerFrame = 0.166667 \n"}},
        Row{"EditedVideoAlone",
            [] { return movieAtomWith({changed(h264(), [](auto &t) {
                     t.edits = {500, 100, 0x00010000};
                 })}); },
            "E_INVALIDARG video 0 sound 0",
            {"Can't use OrvexMovParserFilter \n"}},
        Row{"EditedVideoPassedOver",
            [] {
                return movieAtomWith({changed(h264(), [](auto &t) { t.edits = {500, 100, 0x00010000}; }), h264()});
            },
            "S_OK video 2 sound 0",
            {}},
        Row{"TwoSampleDescriptions",
            [] {
                return movieAtomWith({changed(h264(), [](auto &t) {
                    Atom avc1 = qt::imageDescription("avc1", 176, 144, {qt::avcC(testSps(), testPps())});
                    t.sampleDescriptions = qt::stsd({avc1, avc1});
                })});
            },
            "E_INVALIDARG video 0 sound 0",
            {"nSampleDescs isn't 1 but 2 \n"}},
        Row{"VideoWithoutConfigurationRecord",
            [] {
                return movieAtomWith({changed(h264(),
                                              [](auto &t) {
                                                  t.sampleDescriptions =
                                                      qt::stsd({qt::imageDescription("avc1", 176, 144)});
                                              }),
                                      sowt()});
            },
            "E_INVALIDARG video 0 sound 0",
            {}},
        Row{"SoundNotInTheFile",
            [] {
                return damaged(
                    [](Atom &m) { *m.find("trak[1]/mdia/minf/dinf/dref") = qt::dref({qt::dataReference("alis", 0)}); });
            },
            "S_OK video 1 sound 0",
            {"Not selfReference media \n"}},
        Row{"SoundWithTwoDataReferences",
            [] {
                return damaged([](Atom &m) {
                    *m.find("trak[1]/mdia/minf/dinf/dref") =
                        qt::dref({qt::dataReference("url ", 1), qt::dataReference("url ", 1)});
                });
            },
            "S_OK video 1 sound 0",
            {"Media has 2 DataRefs \n", "Not selfReference media \n"}},
        Row{"UnservableSoundThenAAC",
            [] {
                return movieAtomWith(
                    {h264(), sowt({qt::soundDescription("twos", 1, 16, 8000)}),
                     sowt({qt::soundDescription("mp4a", 1, 16, 8000, 0, 0, {Atom("esds", Bytes(24, 3))})})});
            },
            "S_OK video 1 sound 3",
            {"Can't handle this sound media \n"}},
        Row{"ShortSoundDescription",
            [] {
                return movieAtomWith({h264(), sowt({Atom("sowt", Bytes(26, 0))})});
            },
            "S_OK video 1 sound 0",
            {"Size of SampleDescriptions 34 < sizeof(SoundDescription). \n", "Can't handle this sound media \n"}},
        Row{"EditedSound",
            [] {
                return movieAtomWith({h264(), changed(sowt(), [](auto &t) { t.edits = {100, 0, 0x00020000}; })});
            },
            "S_OK video 1 sound 0",
            {}},
        // Tracks without tables or of other kinds are listed only.
        Row{"TextAndBareSoundListedOnly",
            [] {
                auto text = changed(h264(), [](auto &t) {
                    t.mediaType = "text";
                    t.sampleDescriptions = qt::stsd({Atom("text", Bytes(8, 0))});
                });
                auto bare = changed(sowt(), [](auto &t) { t.tables = qt::tables("stts 1 1; stsz =1 #0"); });
                return movieAtomWith({text, bare, h264()});
            },
            "S_OK video 3 sound 0",
            {}},
        // Unreadable tracks fail the whole load.
        Row{"TimecodeTrack",
            [] {
                return damaged([](Atom &m) {
                    m.add(qt::trak(changed(h264(), [](auto &t) {
                        t.mediaType = "tmcd";
                        t.sampleDescriptions = qt::stsd({Atom("tmcd", Bytes(16, 0))});
                    })));
                });
            },
            "CMyQTException 23",
            {}},
        Row{"TrackWithoutMedia",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak[1]"), "mdia"); }); },
            "CMyQTException 27",
            {}},
        Row{"MediaWithoutHandler",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak[1]/mdia"), "hdlr"); }); },
            "CMyQTException 27",
            {}},
        Row{"MediaWithoutHeader",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak/mdia"), "mdhd"); }); },
            "CMyQTException 27",
            {}},
        Row{"MediaWithoutStsd",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak/mdia/minf/stbl"), "stsd"); }); },
            "CMyQTException 10",
            {}},
        Row{"MediaWithoutStsz",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak[1]/mdia/minf/stbl"), "stsz"); }); },
            "CMyQTException 15",
            {}},
        Row{"ServableMediaWithoutDref",
            [] { return damaged([](Atom &m) { removeChild(*m.find("trak[1]/mdia/minf"), "dinf"); }); },
            "CMyQTException 9",
            {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SoundIsPCM, OnlyRawAndSowtInOneLongEnoughDescription)
{
    std::string answers;
    for (const auto &track :
         {sowt(), sowt({qt::soundDescription("raw ", 1, 8, 8000)}), sowt({qt::soundDescription("twos", 1, 16, 8000)}),
          sowt({Atom("sowt", Bytes(26, 0))}),
          sowt({qt::soundDescription("sowt", 1, 16, 8000), qt::soundDescription("sowt", 1, 16, 8000)})}) {
        auto movie = movieFrom(movieAtomWith({track}));
        answers += isSoundTrackPCM(mediaOf(movie)) ? "1" : "0";
    }
    EXPECT_EQ(answers, "11000");
}

} // namespace
} // namespace orvex::test
