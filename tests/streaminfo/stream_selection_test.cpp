// Stream selection: the first usable H.264 video track and the first usable
// sound track, the listing every track writes, and the tracks that fail the
// whole load because they cannot be read.
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

qt::TrackAtoms sowt()
{
    return soundTrack("sowt", 1, 16, 8000, 8000,
                      {qt::stts({{8000, 1}}), qt::stsc({{1, 8000, 1}}), qt::stszCommon(1, 8000), qt::stco({200})});
}

qt::TrackAtoms withDescriptions(qt::TrackAtoms track, std::vector<Atom> descriptions)
{
    track.sampleDescriptions = qt::stsd(std::move(descriptions));
    return track;
}

struct Choice {
    HRESULT hr = E_FAIL;
    const CMyQTMedia *video = nullptr;
    const CMyQTMedia *sound = nullptr;
    std::string thrown;
};

Choice choose(const TestMovie &movie)
{
    Choice c;
    CMyQTMedia *video = reinterpret_cast<CMyQTMedia *>(1);
    CMyQTMedia *sound = reinterpret_cast<CMyQTMedia *>(1);
    c.thrown = outcome([&] { c.hr = selectStreams(movie.movie(), &video, &sound); });
    c.video = video;
    c.sound = sound;
    return c;
}

bool hasMessage(const DebugCapture &capture, const std::string &message)
{
    auto messages = capture.messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

TEST(StreamSelection, FirstVideoAndFirstSoundAreChosen)
{
    TestMovie movie(movieAtom({h264(), sowt(), h264(), sowt()}));
    DebugCapture capture;
    Choice c = choose(movie);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.video, movie.media(1));
    EXPECT_EQ(c.sound, movie.media(2));
    // Every track is listed, the unused second video and sound too.
    EXPECT_EQ(capture.count("MediaType : 'vide' \n"), 2u);
    EXPECT_EQ(capture.count("MediaType : 'soun' \n"), 2u);
    EXPECT_EQ(capture.count("sampleDesc(1) : 'avc1' \n"), 2u);
    EXPECT_TRUE(hasMessage(capture, "sampleDesc(1) : 'sowt' \n"));
}

TEST(StreamSelection, ListingCarriesTheTimingSummary)
{
    TestMovie movie(movieAtom({h264()}));
    DebugCapture capture;
    choose(movie);
    for (const char *line :
         {"mediaTimeScale   = 600 \n", "mediaDuration    = 500 \n", "seconds          = 0.833333 \n",
          "frames           = 5 \n", "fps              = 6.000000 \n", "durationPerFrame = 0.166667 \n"})
        EXPECT_TRUE(hasMessage(capture, line)) << line;
    EXPECT_TRUE(hasMessage(capture, "\nMediaType : 'vide' \n"));
}

TEST(StreamSelection, VideoWithAnEditListIsPassedOver)
{
    auto edited = h264();
    edited.edits = {{500, 100, 0x00010000}};
    {
        TestMovie movie(movieAtom({edited}));
        DebugCapture capture;
        Choice c = choose(movie);
        EXPECT_EQ(c.hr, E_INVALIDARG);
        EXPECT_EQ(c.video, nullptr);
        EXPECT_EQ(c.sound, nullptr);
        EXPECT_TRUE(hasMessage(capture, "Can't use OrvexMovParserFilter \n"));
    }
    TestMovie movie(movieAtom({edited, h264()}));
    EXPECT_EQ(choose(movie).video, movie.media(2));
}

TEST(StreamSelection, TwoSampleDescriptionsAreNotServed)
{
    auto track = h264();
    track.sampleDescriptions = qt::stsd({qt::imageDescription("avc1", 176, 144, {qt::avcC(testSps(), testPps())}),
                                         qt::imageDescription("avc1", 176, 144, {qt::avcC(testSps(), testPps())})});
    TestMovie movie(movieAtom({track}));
    DebugCapture capture;
    EXPECT_EQ(choose(movie).hr, E_INVALIDARG);
    EXPECT_TRUE(hasMessage(capture, "nSampleDescs isn't 1 but 2 \n"));
}

TEST(StreamSelection, SoundThatIsNotInTheFileItselfIsNotServed)
{
    Atom moov = movieAtom({h264(), sowt()});
    *moov.find("trak[1]/mdia/minf/dinf/dref") = qt::dref({qt::dataReference("alis", 0)});
    TestMovie movie(moov);
    DebugCapture capture;
    Choice c = choose(movie);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.sound, nullptr);
    EXPECT_TRUE(hasMessage(capture, "Not selfReference media \n"));
}

TEST(StreamSelection, TwoDataReferencesAreCountedAndRefused)
{
    Atom moov = movieAtom({h264(), sowt()});
    *moov.find("trak[1]/mdia/minf/dinf/dref") = qt::dref({qt::dataReference("url ", 1), qt::dataReference("url ", 1)});
    TestMovie movie(moov);
    DebugCapture capture;
    EXPECT_EQ(choose(movie).sound, nullptr);
    EXPECT_TRUE(hasMessage(capture, "Media has 2 DataRefs \n"));
    EXPECT_TRUE(hasMessage(capture, "Not selfReference media \n"));
}

TEST(StreamSelection, UnservableSoundGivesWayToALaterAACTrack)
{
    Atom esds("esds", Bytes(4 + 20, 0x03));
    auto twos = withDescriptions(sowt(), {qt::soundDescriptionV0("twos", 1, 16, 8000)});
    auto aac = withDescriptions(sowt(), {qt::soundDescriptionV0("mp4a", 1, 16, 8000, {esds})});
    TestMovie movie(movieAtom({h264(), twos, aac}));
    DebugCapture capture;
    Choice c = choose(movie);
    EXPECT_EQ(c.sound, movie.media(3));
    EXPECT_EQ(capture.count("Can't handle this sound media \n"), 1u);
    EXPECT_FALSE(isSoundTrackPCM(c.sound));
}

TEST(StreamSelection, ShortSoundDescriptionIsTraced)
{
    TestMovie movie(movieAtom({h264(), withDescriptions(sowt(), {Atom("sowt", Bytes(26, 0))})}));
    DebugCapture capture;
    Choice c = choose(movie);
    EXPECT_EQ(c.sound, nullptr);
    EXPECT_TRUE(hasMessage(capture, "Size of SampleDescriptions 34 < sizeof(SoundDescription). \n"));
    EXPECT_TRUE(hasMessage(capture, "Can't handle this sound media \n"));
}

TEST(StreamSelection, SoundWithAnEditListIsNotServed)
{
    auto edited = sowt();
    edited.edits = {{100, 0, 0x00020000}};
    TestMovie movie(movieAtom({h264(), edited}));
    Choice c = choose(movie);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.sound, nullptr);
}

TEST(StreamSelection, VideoThatIsNotServableH264IsRefused)
{
    auto withoutRecord = h264();
    withoutRecord.sampleDescriptions = qt::stsd({qt::imageDescription("avc1", 176, 144)}); // no 'avcC'
    TestMovie movie(movieAtom({withoutRecord, sowt()}));
    EXPECT_EQ(choose(movie).hr, E_INVALIDARG);
}

TEST(StreamSelection, TracksWithoutTablesOrOfOtherKindsAreListedOnly)
{
    auto text = h264();
    text.mediaType = "text";
    text.sampleDescriptions = qt::stsd({Atom("text", Bytes(8, 0))});
    auto bare = sowt();
    bare.tables = {qt::stts({{1, 1}}), qt::stszCommon(1, 0)}; // no 'stsc', no 'stco'
    TestMovie movie(movieAtom({text, bare, h264()}));
    Choice c = choose(movie);
    EXPECT_EQ(c.thrown, "ok");
    EXPECT_EQ(c.video, movie.media(3));
    EXPECT_EQ(c.sound, nullptr);
}

struct Unreadable {
    const char *name;
    std::function<void(Atom &)> damage;
    std::string thrown;
};

class UnreadableTrack : public testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableTrack, FailsTheWholeLoad)
{
    Atom moov = movieAtom({h264(), sowt()});
    GetParam().damage(moov);
    TestMovie movie(moov);
    EXPECT_EQ(choose(movie).thrown, GetParam().thrown);
}

void removeChild(Atom &parent, const std::string &type)
{
    auto &children = parent.children();
    children.erase(std::remove_if(children.begin(), children.end(), [&](Atom &a) { return a.type() == type; }),
                   children.end());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableTrack,
    testing::Values(
        Unreadable{"TimecodeTrack",
                   [](Atom &m) {
                       auto track = h264();
                       track.mediaType = "tmcd";
                       track.sampleDescriptions = qt::stsd({Atom("tmcd", Bytes(16, 0))});
                       m.add(qt::trak(track));
                   },
                   "CMyQTException 23"},
        Unreadable{"TrackWithoutMedia", [](Atom &m) { removeChild(*m.find("trak[1]"), "mdia"); }, "CMyQTException 27"},
        Unreadable{"MediaWithoutHandler", [](Atom &m) { removeChild(*m.find("trak[1]/mdia"), "hdlr"); },
                   "CMyQTException 27"},
        Unreadable{"MediaWithoutHeader", [](Atom &m) { removeChild(*m.find("trak/mdia"), "mdhd"); },
                   "CMyQTException 27"},
        Unreadable{"MediaWithoutStsd", [](Atom &m) { removeChild(*m.find("trak/mdia/minf/stbl"), "stsd"); },
                   "CMyQTException 10"},
        Unreadable{"MediaWithoutStsz", [](Atom &m) { removeChild(*m.find("trak[1]/mdia/minf/stbl"), "stsz"); },
                   "CMyQTException 15"},
        Unreadable{"ServableMediaWithoutDref", [](Atom &m) { removeChild(*m.find("trak[1]/mdia/minf"), "dinf"); },
                   "CMyQTException 9"}),
    [](const testing::TestParamInfo<Unreadable> &info) { return info.param.name; });

TEST(SoundIsPCM, OnlyRawAndSowtInOneLongEnoughDescription)
{
    auto answer = [](qt::TrackAtoms track) {
        TestMovie movie(movieAtom({track}));
        return isSoundTrackPCM(movie.media());
    };
    EXPECT_TRUE(answer(sowt()));
    EXPECT_TRUE(answer(withDescriptions(sowt(), {qt::soundDescriptionV0("raw ", 1, 8, 8000)})));
    EXPECT_FALSE(answer(withDescriptions(sowt(), {qt::soundDescriptionV0("twos", 1, 16, 8000)})));
    DebugCapture capture;
    EXPECT_FALSE(answer(withDescriptions(sowt(), {Atom("sowt", Bytes(26, 0))})));
    EXPECT_TRUE(hasMessage(capture, "Size of SampleDescriptions 34 < sizeof(SoundDescription). \n"));
    EXPECT_FALSE(answer(withDescriptions(
        sowt(), {qt::soundDescriptionV0("sowt", 1, 16, 8000), qt::soundDescriptionV0("sowt", 1, 16, 8000)})));
    EXPECT_TRUE(hasMessage(capture, "Sound Media has 2 SampleDescriptions. \n"));
}

} // namespace
} // namespace orvex::test
