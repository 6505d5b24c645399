// Camera or plain: the walk over the movie atom's children.
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

Atom trak()
{
    return Atom("trak", Bytes(8, 0));
}
Atom mvhd()
{
    return qt::mvhd(600, 600);
}
Atom udta(Atom tag)
{
    return Atom("udta", std::vector<Atom>{std::move(tag)});
}
Atom tag(const std::string &text, const std::string &type = "ORVX")
{
    return Atom(type, Bytes(text.begin(), text.end()));
}

// The movie atom's children; "camera", "plain" or the outcome text of a refusal.
struct LayoutCase {
    const char *name;
    std::vector<Atom> children;
    std::string expected;
};

std::string layoutOf(const Atom &moov)
{
    std::string result;
    std::string how = outcome([&] { result = IsCameraMovieLayout(*movieFrom(moov)) ? "camera" : "plain"; });
    return how == "ok" ? result : how;
}

class CameraLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CameraLayout, DecidesFromTheChildren)
{
    EXPECT_EQ(layoutOf(Atom("moov", GetParam().children)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CameraLayout,
    ::testing::Values(
        LayoutCase{"Tagged", {mvhd(), trak(), trak(), qt::udtaCameraTag()}, "camera"},
        // Nothing after 'free' is examined, not even a broken size.
        LayoutCase{"TaggedThenFreeThenGarbage",
                   {mvhd(), trak(), trak(), qt::udtaCameraTag(), Atom("free"), Atom::raw(Bytes{1, 2, 3})},
                   "camera"},
        LayoutCase{"TaggedThenMeta", {mvhd(), trak(), trak(), qt::udtaCameraTag(), Atom("meta")}, "plain"},
        LayoutCase{"OneTrack", {mvhd(), trak(), qt::udtaCameraTag()}, "plain"},
        LayoutCase{"TagOfSize21", {mvhd(), trak(), trak(), udta(Atom("ORVX", Bytes(13, '1')).setSize(21))}, "plain"},
        LayoutCase{"TagTextDiffersAtTheEnd", {mvhd(), trak(), trak(), udta(tag("OrvexAVC0002"))}, "plain"},
        LayoutCase{"TagOfAnotherType", {mvhd(), trak(), trak(), udta(tag("OrvexAVC0001", "ORVY"))}, "plain"},
        // The tag must lie inside the user data atom.
        LayoutCase{"UserDataTooSmallForTheTag",
                   {mvhd(), trak(), trak(), Atom("udta").setSize(8), tag("OrvexAVC0001")},
                   "plain"},
        LayoutCase{"FirstChildTrak", {trak(), mvhd(), trak()}, "text: not mvhd atom found"},
        LayoutCase{"SecondChildNotTrak", {mvhd(), Atom("udta"), trak()}, "text: not trak atom found"},
        LayoutCase{"LastChildLeavesSevenBytes", {mvhd(), trak(), Atom::raw(Bytes(7, 0))}, "text: atom size error"},
        LayoutCase{"ChildRunsPastTheEnd", {mvhd(), trak().setSize(100)}, "text: atom size error"},
        // A child of size 0 does not hang the walk: the index still moves on.
        LayoutCase{"FirstChildSizeZero", {mvhd().setSize(0), trak()}, "text: not trak atom found"},
        // Below 24 bytes the movie atom is refused; at 24 an 'mvhd' of 16 bytes is read.
        LayoutCase{"MovieAtomOf15Bytes", {Atom::raw(Bytes(7, 0))}, "text: moov atom size is too small"},
        LayoutCase{"MovieAtomOf24Bytes", {Atom("mvhd", Bytes(8, 0))}, "plain"},
        LayoutCase{"UserDataSizeZero", {mvhd(), trak(), trak(), qt::udtaCameraTag().setSize(0)}, "plain"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
