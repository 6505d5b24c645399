// The AAC description check: an 'mp4a' description with an 'esds' among its
// extension atoms, found directly or inside 'wave' atoms, and a bounded walk
// over hostile extension atoms.
#include "MovFileParserFilter/MyAACDescription.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

std::string check(const Atom &description, DWORD *configurationSize = nullptr)
{
    auto track = soundTrack("mp4a", 1, 16, 16000, 100, {});
    track.sampleDescriptions = qt::stsd({description});
    TestMovie movie(movieAtom({track}));
    return outcome([&] {
        CMyAACDescription aac(movie.media());
        if (configurationSize) *configurationSize = aac.GetConfigurationSize();
    });
}

Atom esds(size_t descriptorBytes)
{
    return Atom("esds", Bytes(4 + descriptorBytes, 0x03));
}

Atom wave(std::vector<Atom> children)
{
    return Atom("wave", std::move(children));
}

const std::string kNotAAC = "text: Not AAC media";

TEST(AACDescription, EsdsRightAfterAVersionZeroDescription)
{
    DWORD size = 0;
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, {esds(39)}), &size), "ok");
    EXPECT_EQ(size, 39u);
}

TEST(AACDescription, EsdsInsideWaveAfterFrmaInAVersionOneDescription)
{
    Atom frma("frma", ByteWriter().fourcc("mp4a").data());
    EXPECT_EQ(check(qt::soundDescriptionV1("mp4a", 2, 16, 44100, 0, {wave({frma, esds(20)})})), "ok");
}

TEST(AACDescription, EsdsAfterAWaveWithoutOne)
{
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, {wave({Atom("frma", Bytes(4))}), esds(5)})), "ok");
}

TEST(AACDescription, NestedWaveAtomsAreSearchedToAFewLevels)
{
    Atom nested = esds(5);
    for (int level = 0; level < 3; ++level)
        nested = wave({nested});
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, {nested})), "ok");

    Atom deep = esds(5);
    for (int level = 0; level < 40; ++level)
        deep = wave({deep});
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, {deep})), kNotAAC);
}

TEST(AACDescription, OtherFormatsAndMissingEsdsAreNotAAC)
{
    EXPECT_EQ(check(qt::soundDescriptionV0("twos", 1, 16, 16000, {esds(5)})), kNotAAC);
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000)), kNotAAC);
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, {Atom("chan", Bytes(12))})), kNotAAC);
}

TEST(AACDescription, ShortDescriptionIsTracedAndNotAAC)
{
    // 34 bytes: two short of the fixed sound fields.
    DebugCapture capture;
    EXPECT_EQ(check(Atom("mp4a", Bytes(26, 0))), kNotAAC);
    EXPECT_TRUE(capture.contains("Size of SampleDescriptions 34 < sizeof(SoundDescription). \n"));
}

struct HostileExtension {
    const char *name;
    std::function<std::vector<Atom>()> extensions;
};

class AACDescriptionWalk : public testing::TestWithParam<HostileExtension> {};

TEST_P(AACDescriptionWalk, EndsInsideTheDescriptionAndRefuses)
{
    EXPECT_EQ(check(qt::soundDescriptionV0("mp4a", 1, 16, 16000, GetParam().extensions())), kNotAAC);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AACDescriptionWalk,
    testing::Values(
        HostileExtension{"AtomLargerThanWhatRemains",
                         [] {
                             return std::vector<Atom>{Atom("junk", Bytes(8)).setSize(4000), esds(5)};
                         }},
        HostileExtension{"EsdsLargerThanWhatRemains", [] { return std::vector<Atom>{esds(5).setSize(4000)}; }},
        HostileExtension{"AtomSizeBelowAHeader",
                         [] {
                             return std::vector<Atom>{Atom("junk", Bytes(8)).setSize(4), esds(5)};
                         }},
        HostileExtension{"AtomSizeZero", [] { return std::vector<Atom>{Atom("junk", Bytes(8)).setSize(0)}; }},
        HostileExtension{"EsdsWithoutItsVersionWord", [] { return std::vector<Atom>{Atom("esds", Bytes(2))}; }},
        HostileExtension{"LessThanAHeaderLeft",
                         [] {
                             return std::vector<Atom>{Atom::raw(Bytes{0, 0, 0, 4})};
                         }},
        HostileExtension{"WaveLargerThanWhatRemains", [] { return std::vector<Atom>{wave({esds(5)}).setSize(200)}; }},
        HostileExtension{
            "WaveWhoseChildRunsPastIt",
            [] {
                return std::vector<Atom>{wave({Atom("junk", Bytes(4)).setSize(100)}), Atom("free", Bytes(100))};
            }}),
    [](const testing::TestParamInfo<HostileExtension> &info) { return info.param.name; });

TEST(AACDescription, DescriptionWithoutRoomForExtensions)
{
    EXPECT_EQ(check(Atom("mp4a", Bytes(28, 0))), kNotAAC); // exactly 36 bytes
}

} // namespace
} // namespace orvex::test
