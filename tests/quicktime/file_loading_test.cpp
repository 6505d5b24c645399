// The top-level scans for 'moov' and 'mdat' over real files in a temporary
// folder: hostile atom sizes, and positions beyond 32 bits.
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "support/debug_capture.h"
#include "support/qt_movie.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace orvex::test {
namespace {

Atom mdatOf(size_t bodySize)
{
    return Atom("mdat", Bytes(bodySize, 0xAB));
}

// The file's atoms; LoadMovieAtom's outcome and tracks, FindMdatAtom's outcome, offset and size, "Not MOV" lines.
struct TopLevelCase {
    const char *name;
    std::vector<Atom> atoms;
    std::string expected;
};

class TopLevelScan : public ::testing::TestWithParam<TopLevelCase> {};

TEST_P(TopLevelScan, FindsOrRefuses)
{
    ScratchFolder dir;
    const std::wstring path = widen(dir.write("m.mov", fileBytes(GetParam().atoms)));
    DebugCapture capture;
    std::string tracks, where;
    std::string moov = outcome([&] { tracks = std::to_string(LoadMovieAtom(path.c_str())->GetTrackCount()); });
    ULONGLONG offset = 0, size = 0;
    std::string mdat = outcome([&] { FindMdatAtom(path.c_str(), &offset, &size); });
    EXPECT_EQ(moov + tracks + " " + mdat + (mdat == "ok" ? std::to_string(offset) + "+" + std::to_string(size) : "") +
                  " " + std::to_string(capture.count("Not MOV File format \n")),
              GetParam().expected);
}

const Atom kMoov = movieAtomWith({qt::TrackAtoms{}});

INSTANTIATE_TEST_SUITE_P(
    Files, TopLevelScan,
    ::testing::Values(
        TopLevelCase{"MoovThenMdat", {Atom("ftyp", Bytes(12, 0)), kMoov, mdatOf(100)}, "ok1 ok453+108 0"},
        // The first 'moov' and 'mdat' count.
        TopLevelCase{"TwoOfEach", {movieAtomWith({}), mdatOf(5), kMoov, mdatOf(50)}, "ok0 ok116+13 0"},
        // The scans end at the end of the file, reading a cleared header there.
        TopLevelCase{"NoMdat", {Atom("ftyp", Bytes(12, 0)), kMoov}, "ok1 E3 1"},
        TopLevelCase{"NoMoov", {mdatOf(10)}, "E2 ok0+18 1"},
        TopLevelCase{"SizeZeroBeforeMoov", {Atom("skip").setSize(0), kMoov, mdatOf(4)}, "E2 E3 2"},
        TopLevelCase{"SizeSevenBeforeMoov", {Atom("skip").setSize(7), kMoov}, "E2 E3 2"},
        TopLevelCase{"AtomPastTheEnd", {mdatOf(4), Atom("skip", Bytes(4, 0)).setSize(1000), kMoov}, "E2 ok0+12 1"},
        TopLevelCase{"MoovPastTheEnd", {Atom("ftyp", Bytes(12, 0)), movieAtomWith({}).setSize(5000)}, "E2 E3 2"},
        TopLevelCase{"PartialHeaderAtTheEnd", {kMoov, mdatOf(4), Atom::raw(Bytes{0, 0, 0})}, "ok1 ok433+12 0"},
        TopLevelCase{"EmptyFile", {}, "E2 E3 2"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TopLevel, TheLoadedMovieAtomIsTheWholeAtomAndThePositionsAre64Bit)
{
    ScratchFolder dir;
    std::string path = dir.write("m.mov", fileBytes({mdatOf(7), kMoov}));
    auto movie = LoadMovieAtom(widen(path).c_str());
    EXPECT_EQ(Bytes(movie->GetAtom(), movie->GetAtom() + movie->GetAtomSize()), kMoov.bytes());
    // A skipped atom of almost 4 GiB puts 'mdat' and 'moov' beyond the 32-bit range.
    const uint64_t skip = 0xFFFFFFF8ULL;
    const Bytes mdat = mdatOf(0xF8).bytes(), moov = kMoov.bytes();
    const int fd = ::open(path.c_str(), O_TRUNC | O_WRONLY); // sparse: the skipped atom takes no room
    const Bytes skipHeader = Atom("skip").setSize(uint32_t(skip)).bytes();
    ASSERT_EQ(::pwrite(fd, skipHeader.data(), 8, 0), 8);
    ASSERT_EQ(::pwrite(fd, mdat.data(), mdat.size(), off_t(skip)), ssize_t(mdat.size()));
    ASSERT_EQ(::pwrite(fd, moov.data(), moov.size(), off_t(skip + mdat.size())), ssize_t(moov.size()));
    ::close(fd);
    ULONGLONG offset = 0, size = 0;
    FindMdatAtom(widen(path).c_str(), &offset, &size);
    EXPECT_EQ(std::to_string(offset) + "+" + std::to_string(size) + " last " +
                  std::to_string(GetLastMediaByte(offset, size)),
              "4294967288+256 last 4294967543");
    EXPECT_EQ(LoadMovieAtom(widen(path).c_str())->GetTrackCount(), 1);
}

} // namespace
} // namespace orvex::test
