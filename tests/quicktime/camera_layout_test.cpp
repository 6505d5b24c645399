// Camera or plain: the walk over the movie atom's children.
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

Atom trakAtom()
{
    return Atom("trak", Bytes(8, 0));
}

Atom udtaWithTag(Atom tag)
{
    return Atom("udta", std::vector<Atom>{std::move(tag)});
}

Atom tagWithText(const std::string &text)
{
    return Atom("ORVX", Bytes(text.begin(), text.end()));
}

struct LayoutCase {
    const char *name;
    std::vector<Atom> children;
    std::string expected; // "camera", "plain" or the outcome text of a refusal
};

std::string layoutOf(const Atom &moov)
{
    std::string result;
    std::string how = outcome([&] {
        auto movie = movieFrom(moov);
        result = IsCameraMovieLayout(*movie) ? "camera" : "plain";
    });
    return how == "ok" ? result : how;
}

class CameraLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CameraLayout, DecidesFromTheChildren)
{
    Atom moov("moov", GetParam().children);
    EXPECT_EQ(layoutOf(moov), GetParam().expected);
}

Atom mvhd()
{
    return qt::mvhd(600, 600);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CameraLayout,
    ::testing::Values(
        LayoutCase{"Tagged", {mvhd(), trakAtom(), trakAtom(), qt::udtaCameraTag()}, "camera"},
        LayoutCase{"TaggedThenFree",
                   {mvhd(), trakAtom(), trakAtom(), qt::udtaCameraTag(), Atom("free", Bytes(4, 0)), Atom("meta")},
                   "camera"},
        // Nothing after 'free' is examined, not even a broken size.
        LayoutCase{"TaggedThenFreeThenGarbage",
                   {mvhd(), trakAtom(), trakAtom(), qt::udtaCameraTag(), Atom("free"), Atom::raw(Bytes{1, 2, 3})},
                   "camera"},
        LayoutCase{"TaggedThenMeta", {mvhd(), trakAtom(), trakAtom(), qt::udtaCameraTag(), Atom("meta")}, "plain"},
        LayoutCase{"OneTrack", {mvhd(), trakAtom(), qt::udtaCameraTag()}, "plain"},
        LayoutCase{"NoUserData", {mvhd(), trakAtom(), trakAtom()}, "plain"},
        LayoutCase{"ThreeTracks", {mvhd(), trakAtom(), trakAtom(), trakAtom(), qt::udtaCameraTag()}, "plain"},
        LayoutCase{"TagOfSize21",
                   {mvhd(), trakAtom(), trakAtom(), udtaWithTag(Atom("ORVX", Bytes(13, '1')).setSize(21))},
                   "plain"},
        LayoutCase{"TagTextDiffersAtTheStart",
                   {mvhd(), trakAtom(), trakAtom(), udtaWithTag(tagWithText("orvexAVC0001"))},
                   "plain"},
        LayoutCase{"TagTextDiffersAtTheEnd",
                   {mvhd(), trakAtom(), trakAtom(), udtaWithTag(tagWithText("OrvexAVC0002"))},
                   "plain"},
        LayoutCase{"TagOfAnotherType",
                   {mvhd(), trakAtom(), trakAtom(), udtaWithTag(tagWithText("OrvexAVC0001").setType("ORVY"))},
                   "plain"},
        LayoutCase{"TagNotFirstInUserData",
                   {mvhd(), trakAtom(), trakAtom(), Atom("udta", std::vector<Atom>{Atom("name"), qt::cameraTag()})},
                   "plain"},
        // The tag must lie inside the user data atom.
        LayoutCase{"UserDataTooSmallForTheTag",
                   {mvhd(), trakAtom(), trakAtom(), Atom("udta").setSize(8), qt::cameraTag()},
                   "plain"},
        LayoutCase{"EmptyUserData", {mvhd(), trakAtom(), trakAtom(), Atom("udta")}, "plain"},
        LayoutCase{"FreeFirst", {Atom("free"), trakAtom()}, "plain"},
        LayoutCase{"FirstChildTrak", {trakAtom(), mvhd(), trakAtom()}, "text: not mvhd atom found"},
        LayoutCase{"SecondChildNotTrak", {mvhd(), Atom("udta"), trakAtom()}, "text: not trak atom found"},
        LayoutCase{"LastChildLeavesSevenBytes", {mvhd(), trakAtom(), Atom::raw(Bytes(7, 0))}, "text: atom size error"},
        LayoutCase{"LastChildLeavesOneByte", {mvhd(), trakAtom(), Atom::raw(Bytes(1, 0))}, "text: atom size error"},
        LayoutCase{"ChildRunsPastTheEnd", {mvhd(), trakAtom().setSize(100)}, "text: atom size error"},
        // A child of size 0 does not hang the walk: the index still moves on.
        LayoutCase{"FirstChildSizeZero", {mvhd().setSize(0), trakAtom()}, "text: not trak atom found"},
        LayoutCase{"ThirdChildSizeZero", {mvhd(), trakAtom(), trakAtom().setSize(0)}, "plain"},
        LayoutCase{"UserDataSizeZero", {mvhd(), trakAtom(), trakAtom(), qt::udtaCameraTag().setSize(0)}, "plain"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CameraLayoutSize, AMovieAtomBelow24BytesIsRefused)
{
    EXPECT_EQ(layoutOf(Atom("moov", Bytes(15, 0))), "text: moov atom size is too small");
    // 24 bytes: an 'mvhd' of 16 bytes is read.
    EXPECT_EQ(layoutOf(Atom("moov", std::vector<Atom>{Atom("mvhd", Bytes(8, 0))})), "plain");
}

} // namespace
} // namespace orvex::test
