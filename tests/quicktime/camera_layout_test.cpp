// Camera or plain: the walk over the movie atom's children.
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

const Atom kMvhd = qt::mvhd(600, 600), kTrak("trak", Bytes(8, 0)), kTag = qt::udtaCameraTag();

// The movie atom's children; "camera", "plain" or the outcome text of a refusal.
struct LayoutCase {
    const char *name;
    std::vector<Atom> children;
    std::string expected;
};

class CameraLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CameraLayout, DecidesFromTheChildren)
{
    const Atom moov("moov", GetParam().children);
    EXPECT_EQ(answerOf([&] { return std::string(IsCameraMovieLayout(*movieFrom(moov)) ? "camera" : "plain"); }),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CameraLayout,
    ::testing::Values(
        LayoutCase{"Tagged", {kMvhd, kTrak, kTrak, kTag}, "camera"},
        // Nothing after 'free' is examined, not even a broken size.
        LayoutCase{"TaggedThenFreeThenGarbage",
                   {kMvhd, kTrak, kTrak, kTag, Atom("free"), Atom::raw(Bytes{1, 2, 3})},
                   "camera"},
        LayoutCase{"TaggedThenMeta", {kMvhd, kTrak, kTrak, kTag, Atom("meta")}, "plain"},
        LayoutCase{"OneTrack", {kMvhd, kTrak, kTag}, "plain"},
        LayoutCase{"TagOfSize21",
                   {kMvhd, kTrak, kTrak, Atom("udta", std::vector<Atom>{Atom("ORVX", Bytes(13, '1'))})},
                   "plain"},
        LayoutCase{"TagTextDiffersAtTheEnd", {kMvhd, kTrak, kTrak, Atom(kTag).edit("ORVX byte 11 50")}, "plain"},
        LayoutCase{"TagOfAnotherType", {kMvhd, kTrak, kTrak, Atom(kTag).edit("ORVX type ORVY")}, "plain"},
        // The tag must lie inside the user data atom.
        LayoutCase{"UserDataTooSmallForTheTag", {kMvhd, kTrak, kTrak, Atom(kTag).setSize(8)}, "plain"},
        LayoutCase{"FirstChildTrak", {kTrak, kMvhd, kTrak}, "text: not mvhd atom found"},
        LayoutCase{"SecondChildNotTrak", {kMvhd, Atom("udta"), kTrak}, "text: not trak atom found"},
        LayoutCase{"LastChildLeavesSevenBytes", {kMvhd, kTrak, Atom::raw(Bytes(7, 0))}, "text: atom size error"},
        LayoutCase{"ChildRunsPastTheEnd", {kMvhd, Atom(kTrak).setSize(100)}, "text: atom size error"},
        // A child of size 0 does not hang the walk: the index still moves on.
        LayoutCase{"FirstChildSizeZero", {Atom(kMvhd).setSize(0), kTrak}, "text: not trak atom found"},
        // Below 24 bytes the movie atom is refused; at 24 an 'mvhd' of 16 bytes is read.
        LayoutCase{"MovieAtomOf15Bytes", {Atom::raw(Bytes(7, 0))}, "text: moov atom size is too small"},
        LayoutCase{"MovieAtomOf24Bytes", {Atom("mvhd", Bytes(8, 0))}, "plain"},
        LayoutCase{"UserDataSizeZero", {kMvhd, kTrak, kTrak, Atom(kTag).setSize(0)}, "plain"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
