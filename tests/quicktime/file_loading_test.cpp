// The file layer: CMyQTFile, GetFileSizeByName, and the top-level scans for
// 'moov' and 'mdat' over real files in a temporary folder.
#include "MyQuickTimeAPIs/MyQTFile.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "support/qt_movie.h"
#include "support/scratch.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace orvex::test {
namespace {

const char kNotMov[] = "Not MOV File format \n";

Atom smallMoov()
{
    return movieAtomWith({});
}

Atom mdatOf(size_t bodySize)
{
    return Atom("mdat", Bytes(bodySize, 0xAB));
}

// A sparse file of the given size whose first bytes are head.
void writeSparse(const std::string &path, const Bytes &head, uint64_t size,
                 const std::vector<std::pair<uint64_t, Bytes>> &pieces = {})
{
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    for (const auto &[offset, bytes] : pieces)
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
                  static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
}

TEST(QtFile, OpeningAMissingFileThrowsCode4)
{
    ScratchFolder dir;
    CMyQTFile file;
    EXPECT_QT_ERROR(file.Open(widen(dir.path("missing.mov")).c_str()), kFileOpenFailed);
}

TEST(QtFile, ReadsSeeksAndSizesAnOpenFile)
{
    ScratchFolder dir;
    std::string path = dir.write("f.bin", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    CMyQTFile file;
    file.Open(widen(path).c_str());
    EXPECT_EQ(file.GetSize(), 10u);
    BYTE buffer[4] = {};
    EXPECT_EQ(file.Read(buffer, 2), 2u);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_TRUE(file.Seek(2, 1)); // from the current position
    EXPECT_EQ(file.Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_TRUE(file.Seek(-1, 2));       // from the end
    EXPECT_EQ(file.Read(buffer, 4), 1u); // fewer bytes at the end, no error
    EXPECT_EQ(buffer[0], 10);
    EXPECT_TRUE(file.Seek(0, 0));
    EXPECT_EQ(file.Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 1);
}

TEST(QtFile, SeekWithAnUnknownOriginFailsWithoutMoving)
{
    ScratchFolder dir;
    std::string path = dir.write("f.bin", Bytes{1, 2, 3});
    CMyQTFile file;
    file.Open(widen(path).c_str());
    EXPECT_FALSE(file.Seek(1, 3));
    EXPECT_FALSE(file.Seek(-5, 0)); // before the start
    BYTE b = 0;
    file.Read(&b, 1);
    EXPECT_EQ(b, 1);
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
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Exception 8,  \n");
}

TEST(QtFile, WithoutAnOpenFileReadAndSizeFail)
{
    CMyQTFile file;
    BYTE b;
    EXPECT_QT_ERROR(file.Read(&b, 1), kFileReadFailed);
    EXPECT_QT_ERROR(file.GetSize(), kFileSizeFailed);
}

TEST(FileSizeByName, GivesTheSizeOrTheSystemError)
{
    ScratchFolder dir;
    std::string path = dir.write("f.bin", Bytes(1234, 0));
    ULONGLONG size = 0;
    EXPECT_EQ(GetFileSizeByName(widen(path).c_str(), &size), 0u);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(GetFileSizeByName(widen(dir.path("none.mov")).c_str(), &size), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(FileSizeByName, SeesSizesBeyond32Bits)
{
    ScratchFolder dir;
    std::string exact = dir.path("4g.mov"), below = dir.path("4g-1.mov");
    writeSparse(exact, {}, 0x100000000ULL);
    writeSparse(below, {}, 0xFFFFFFFFULL);
    ULONGLONG size = 0;
    ASSERT_EQ(GetFileSizeByName(widen(exact).c_str(), &size), 0u);
    EXPECT_EQ(size, 0x100000000ULL);
    ASSERT_EQ(GetFileSizeByName(widen(below).c_str(), &size), 0u);
    EXPECT_EQ(size, 0xFFFFFFFFULL);
}

struct TopLevelCase {
    const char *name;
    std::vector<Atom> atoms;
    std::string moov; // outcome of LoadMovieAtom
    std::string mdat; // outcome of FindMdatAtom
    size_t notMovLines;
};

class TopLevelScan : public ::testing::TestWithParam<TopLevelCase> {};

TEST_P(TopLevelScan, FindsOrRefuses)
{
    const TopLevelCase &c = GetParam();
    ScratchFolder dir;
    std::string path = dir.write("m.mov", fileBytes(c.atoms));
    DebugCapture capture;
    EXPECT_OUTCOME(LoadMovieAtom(widen(path).c_str()), c.moov);
    ULONGLONG offset = 0, size = 0;
    EXPECT_OUTCOME(FindMdatAtom(widen(path).c_str(), &offset, &size), c.mdat);
    EXPECT_EQ(capture.count(kNotMov), c.notMovLines);
}

const std::string kOk = "ok";
const std::string kNoMoov = qtError(CMyQTException::kMoovNotFound);
const std::string kNoMdat = qtError(CMyQTException::kMdatNotFound);

INSTANTIATE_TEST_SUITE_P(
    Files, TopLevelScan,
    ::testing::Values(
        TopLevelCase{"MoovThenMdat", {Atom("ftyp", Bytes(12, 0)), smallMoov(), mdatOf(100)}, kOk, kOk, 0},
        TopLevelCase{"MdatThenMoov", {mdatOf(100), Atom("free", Bytes(3, 0)), smallMoov()}, kOk, kOk, 0},
        // The scans end at the end of the file, reading a cleared header there.
        TopLevelCase{"NoMdat", {Atom("ftyp", Bytes(12, 0)), smallMoov()}, kOk, kNoMdat, 1},
        TopLevelCase{"NoMoov", {mdatOf(10)}, kNoMoov, kOk, 1},
        TopLevelCase{"SizeZeroBeforeMoov", {Atom("skip").setSize(0), smallMoov(), mdatOf(4)}, kNoMoov, kNoMdat, 2},
        TopLevelCase{"SizeOneBeforeMoov", {Atom("skip").setSize(1), smallMoov(), mdatOf(4)}, kNoMoov, kNoMdat, 2},
        TopLevelCase{"SizeSevenBeforeMoov", {Atom("skip").setSize(7), smallMoov()}, kNoMoov, kNoMdat, 2},
        TopLevelCase{
            "AtomPastTheEnd", {mdatOf(4), Atom("skip", Bytes(4, 0)).setSize(1000), smallMoov()}, kNoMoov, kOk, 1},
        TopLevelCase{"MoovPastTheEnd", {Atom("ftyp", Bytes(12, 0)), smallMoov().setSize(5000)}, kNoMoov, kNoMdat, 2},
        TopLevelCase{"PartialHeaderAtTheEnd", {smallMoov(), mdatOf(4), Atom::raw(Bytes{0, 0, 0})}, kOk, kOk, 0},
        TopLevelCase{"EmptyFile", {}, kNoMoov, kNoMdat, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TopLevel, TheFirstMoovAndMdatCount)
{
    ScratchFolder dir;
    Atom first = movieAtomWith({});
    Atom second = movieAtomWith({qt::TrackAtoms{}});
    std::string path = dir.write("m.mov", fileBytes({first, mdatOf(5), second, mdatOf(50)}));
    auto movie = LoadMovieAtom(widen(path).c_str());
    EXPECT_EQ(movie->GetTrackCount(), 0);
    EXPECT_EQ(movie->GetAtomSize(), first.length());
    ULONGLONG offset = 0, size = 0;
    FindMdatAtom(widen(path).c_str(), &offset, &size);
    EXPECT_EQ(offset, first.length());
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(GetLastMediaByte(offset, size), offset + 12);
}

TEST(TopLevel, TheLoadedMovieAtomIsTheWholeAtom)
{
    ScratchFolder dir;
    Atom moov = movieAtomWith({qt::TrackAtoms{}, qt::TrackAtoms{}});
    std::string path = dir.write("m.mov", fileBytes({mdatOf(7), moov}));
    auto movie = LoadMovieAtom(widen(path).c_str());
    Bytes expected = moov.bytes();
    ASSERT_EQ(movie->GetAtomSize(), expected.size());
    EXPECT_EQ(Bytes(movie->GetAtom(), movie->GetAtom() + expected.size()), expected);
    EXPECT_EQ(movie->GetTrackCount(), 2);
}

TEST(TopLevel, MissingFilesThrowTheOpenCode)
{
    ScratchFolder dir;
    ULONGLONG offset, size;
    EXPECT_QT_ERROR(LoadMovieAtom(widen(dir.path("none")).c_str()), kFileOpenFailed);
    EXPECT_QT_ERROR(FindMdatAtom(widen(dir.path("none")).c_str(), &offset, &size), kFileOpenFailed);
}

// Positions past 4 GiB are 64-bit: a skipped atom of almost 4 GiB puts 'mdat'
// and 'moov' beyond the 32-bit range, and the last media byte with them.
TEST(TopLevel, PositionsBeyond4GiBAreKeptIn64Bits)
{
    ScratchFolder dir;
    std::string path = dir.path("big.mov");
    const uint64_t skip = 0xFFFFFFF8ULL;
    Bytes mdat = Atom("mdat", Bytes(0xF8, 0)).bytes(); // 0x100 bytes
    Bytes moov = movieAtomWith({qt::TrackAtoms{}}).bytes();
    Bytes head = Atom("skip").setSize(static_cast<uint32_t>(skip)).bytes();
    writeSparse(path, head, skip + mdat.size() + moov.size(), {{skip, mdat}, {skip + mdat.size(), moov}});
    ULONGLONG offset = 0, size = 0;
    FindMdatAtom(widen(path).c_str(), &offset, &size);
    EXPECT_EQ(offset, skip);
    EXPECT_EQ(size, 0x100u);
    EXPECT_EQ(GetLastMediaByte(offset, size), 0x1000000F7ULL);
    auto movie = LoadMovieAtom(widen(path).c_str());
    EXPECT_EQ(movie->GetTrackCount(), 1);
}

TEST(Movie, RefusesABufferShorterThanItsSizeField)
{
    Bytes moov = movieAtomWith({}).bytes();
    auto buffer = std::make_unique<BYTE[]>(moov.size());
    std::memcpy(buffer.get(), moov.data(), moov.size());
    EXPECT_QT_ERROR(CMyQTMovie(std::move(buffer), DWORD(moov.size() - 1)), kOutsideAtom);
    EXPECT_QT_ERROR(CMyQTMovie(nullptr, 0), kOutsideAtom);
}

} // namespace
} // namespace orvex::test
