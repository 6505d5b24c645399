// The file layer: CMyQTFile, GetFileSizeByName, and the top-level scans for
// 'moov' and 'mdat' over real files in a temporary folder.
#include "MyQuickTimeAPIs/MyQTFile.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "support/debug_capture.h"
#include "support/qt_movie.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace orvex::test {
namespace {

// A sparse file of the given size with those pieces written.
void writeSparse(const std::string &path, uint64_t size, const std::vector<std::pair<uint64_t, Bytes>> &pieces)
{
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    for (const auto &[offset, bytes] : pieces)
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), off_t(offset)), ssize_t(bytes.size()));
    ASSERT_EQ(::ftruncate(fd, off_t(size)), 0);
    ::close(fd);
}

TEST(QtFile, ReadsSeeksAndSizes)
{
    ScratchFolder dir;
    const std::wstring path = widen(dir.write("f.bin", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    CMyQTFile file;
    BYTE b[4] = {};
    EXPECT_QT_ERROR(file.Read(b, 1), kFileReadFailed);
    EXPECT_QT_ERROR(file.GetSize(), kFileSizeFailed);
    EXPECT_QT_ERROR(file.Open(widen(dir.path("missing.mov")).c_str()), kFileOpenFailed);
    file.Open(path.c_str());
    // "read count:first byte" after each seek (origin 0 start, 1 current, 2 end; 3 unknown and
    // a position before the start fail without moving).
    std::ostringstream reads;
    reads << file.GetSize();
    for (auto [move, origin] : {std::pair{0, 1}, {2, 1}, {1, 3}, {-50, 0}, {-1, 2}, {0, 0}}) {
        const bool moved = file.Seek(move, origin);
        const DWORD count = file.Read(b, 2);
        reads << " " << moved << ":" << count << ":" << int(b[0]);
    }
    EXPECT_EQ(reads.str(), "10 1:2:1 1:2:5 0:2:7 0:2:9 1:1:10 1:2:1");
}

TEST(QtFile, AFailingCloseIsOnlyReported)
{
    ScratchFolder dir;
    std::string path = dir.write("f.bin", Bytes{1});
    DebugCapture capture;
    {
        CMyQTFile file;
        file.Open(widen(path).c_str());
        // Closed behind the file's back: its own close then fails.
        ASSERT_TRUE(CloseHandle(file.GetHandle()));
    }
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Exception 8,  \n"});
}

TEST(FileSizeByName, GivesTheSizeIn64BitsOrTheSystemError)
{
    ScratchFolder dir;
    std::string sizes;
    for (uint64_t size : {uint64_t(1234), uint64_t(0xFFFFFFFF), uint64_t(0x100000000)}) {
        const std::string path = dir.path(std::to_string(size) + ".mov");
        writeSparse(path, size, {});
        ULONGLONG found = 0;
        const DWORD error = GetFileSizeByName(widen(path).c_str(), &found);
        sizes += std::to_string(error) + ":" + std::to_string(found) + " ";
    }
    ULONGLONG found = 0;
    sizes += std::to_string(GetFileSizeByName(widen(dir.path("none.mov")).c_str(), &found));
    EXPECT_EQ(sizes, "0:1234 0:4294967295 0:4294967296 " + std::to_string(ERROR_FILE_NOT_FOUND));
}

Atom mdatOf(size_t bodySize)
{
    return Atom("mdat", Bytes(bodySize, 0xAB));
}

struct TopLevelCase {
    const char *name;
    std::vector<Atom> atoms;
    std::string
        expected; // LoadMovieAtom's outcome and tracks, FindMdatAtom's outcome, offset and size, "Not MOV" lines
};

class TopLevelScan : public ::testing::TestWithParam<TopLevelCase> {};

TEST_P(TopLevelScan, FindsOrRefuses)
{
    ScratchFolder dir;
    const std::wstring path = widen(dir.write("m.mov", fileBytes(GetParam().atoms)));
    DebugCapture capture;
    std::string tracks, where;
    std::string moov = outcome([&] { tracks = std::to_string(LoadMovieAtom(path.c_str())->GetTrackCount()); }, true);
    ULONGLONG offset = 0, size = 0;
    std::string mdat = outcome([&] { FindMdatAtom(path.c_str(), &offset, &size); }, true);
    EXPECT_EQ(moov + tracks + " " + mdat + (mdat == "ok" ? std::to_string(offset) + "+" + std::to_string(size) : "") +
                  " " + std::to_string(capture.count("Not MOV File format \n")),
              GetParam().expected);
}

const Atom kMoov = movieAtomWith({qt::TrackAtoms{}});

INSTANTIATE_TEST_SUITE_P(
    Files, TopLevelScan,
    ::testing::Values(
        TopLevelCase{"MoovThenMdat", {Atom("ftyp", Bytes(12, 0)), kMoov, mdatOf(100)}, "ok1 ok453+108 0"},
        TopLevelCase{"MdatThenMoov", {mdatOf(100), Atom("free", Bytes(3, 0)), kMoov}, "ok1 ok0+108 0"},
        // The first 'moov' and 'mdat' count.
        TopLevelCase{"TwoOfEach", {movieAtomWith({}), mdatOf(5), kMoov, mdatOf(50)}, "ok0 ok116+13 0"},
        // The scans end at the end of the file, reading a cleared header there.
        TopLevelCase{"NoMdat", {Atom("ftyp", Bytes(12, 0)), kMoov}, "ok1 E3 1"},
        TopLevelCase{"NoMoov", {mdatOf(10)}, "E2 ok0+18 1"},
        TopLevelCase{"SizeZeroBeforeMoov", {Atom("skip").setSize(0), kMoov, mdatOf(4)}, "E2 E3 2"},
        TopLevelCase{"SizeOneBeforeMoov", {Atom("skip").setSize(1), kMoov, mdatOf(4)}, "E2 E3 2"},
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
    EXPECT_QT_ERROR(LoadMovieAtom(widen(dir.path("none")).c_str()), kFileOpenFailed);
    ULONGLONG offset = 0, size = 0;
    EXPECT_QT_ERROR(FindMdatAtom(widen(dir.path("none")).c_str(), &offset, &size), kFileOpenFailed);
    // A skipped atom of almost 4 GiB puts 'mdat' and 'moov' beyond the 32-bit range.
    const uint64_t skip = 0xFFFFFFF8ULL;
    const Bytes mdat = mdatOf(0xF8).bytes(), moov = kMoov.bytes();
    writeSparse(path, skip + mdat.size() + moov.size(),
                {{0, Atom("skip").setSize(uint32_t(skip)).bytes()}, {skip, mdat}, {skip + mdat.size(), moov}});
    FindMdatAtom(widen(path).c_str(), &offset, &size);
    EXPECT_EQ(std::to_string(offset) + "+" + std::to_string(size) + " last " +
                  std::to_string(GetLastMediaByte(offset, size)),
              "4294967288+256 last 4294967543");
    EXPECT_EQ(LoadMovieAtom(widen(path).c_str())->GetTrackCount(), 1);
}

TEST(Movie, RefusesABufferShorterThanItsSizeField)
{
    Bytes moov = kMoov.bytes();
    auto buffer = std::make_unique<BYTE[]>(moov.size());
    std::memcpy(buffer.get(), moov.data(), moov.size());
    EXPECT_QT_ERROR(CMyQTMovie(std::move(buffer), DWORD(moov.size() - 1)), kOutsideAtom);
    EXPECT_QT_ERROR(CMyQTMovie(nullptr, 0), kOutsideAtom);
}

} // namespace
} // namespace orvex::test
