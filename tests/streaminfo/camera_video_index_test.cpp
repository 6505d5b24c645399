// The camera video index, read from the tables directly: one entry a chunk,
// a constant frame duration, a sync entry every gop entries, and refusals of
// tracks that break the camera layout.
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

std::vector<Atom> cameraTables(uint32_t n, std::vector<uint32_t> sync)
{
    auto tables = evenVideoTables(n, 1000, 10, 100);
    tables.push_back(qt::stss(sync));
    return tables;
}

std::unique_ptr<COrvexCameraH264MediaStreamInfo> build(const std::vector<Atom> &tables,
                                                       ULONGLONG lastMediaByte = 0xFFFFFFFF)
{
    TestMovie movie(movieAtom({videoTrack(15000, 1000 * 60, tables)}));
    return std::make_unique<COrvexCameraH264MediaStreamInfo>(movie.media(), lastMediaByte);
}

std::vector<DWORD> syncEntries(const CQuickTimeMediaStreamInfo &info)
{
    std::vector<DWORD> out;
    for (DWORD i = 0; i < info.GetEntryCount(); ++i)
        if (info.GetSampleIndex()[i].sync) out.push_back(i);
    return out;
}

TEST(CameraVideoIndex, SyncEveryGopEntriesFromTheFirstTwoStssEntries)
{
    EXPECT_EQ(syncEntries(*build(cameraTables(60, {1, 16, 31, 46}))), (std::vector<DWORD>{0, 15, 30, 45}));
    // Only the distance of the first two counts, whatever follows.
    EXPECT_EQ(syncEntries(*build(cameraTables(40, {1, 13, 14, 15}))), (std::vector<DWORD>{0, 12, 24, 36}));
}

TEST(CameraVideoIndex, TimesFromTheFirstFrameDurationAndOffsetsFromStco)
{
    auto tables = cameraTables(4, {1, 3});
    tables[0] = qt::stts({{1, 1000}, {3, 5000}}); // later durations are not read
    auto info = build(tables);
    const auto &index = info->GetSampleIndex();
    ASSERT_EQ(index.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(index[i].start, MediaTimeToReferenceTime(LONGLONG(i) * 1000, 15000)) << i;
        EXPECT_EQ(index[i].stop, MediaTimeToReferenceTime(LONGLONG(i + 1) * 1000, 15000));
        EXPECT_EQ(index[i].offset, 100 + 10 * i);
        EXPECT_EQ(index[i].size, 10u);
        EXPECT_EQ(index[i].sampleCount, 1u);
    }
}

TEST(CameraVideoIndex, StscIsNotRead)
{
    auto tables = cameraTables(6, {1, 4});
    tables[1] = qt::stsc({{1, 6, 1}}); // all samples in one chunk by 'stsc'
    auto info = build(tables);
    ASSERT_EQ(info->GetEntryCount(), 6u);
    EXPECT_EQ(info->GetSampleIndex()[5].offset, 150u);
}

TEST(CameraVideoIndex, LastMediaByteIsChecked)
{
    EXPECT_EQ(build(cameraTables(5, {1, 3}), 149)->GetEntryCount(), 5u);
    DebugCapture capture;
    EXPECT_QT_ERROR(build(cameraTables(5, {1, 3}), 148), kChunkOffsetError);
    EXPECT_TRUE(capture.contains("ChunkOffset Error  \n"));
}

struct BrokenCamera {
    const char *name;
    std::function<void(std::vector<Atom> &)> breakIt;
    CMyQTException::EExceptionType code;
};

class CameraVideoRefusal : public testing::TestWithParam<BrokenCamera> {};

TEST_P(CameraVideoRefusal, ThrowsWhileBuilt)
{
    auto tables = cameraTables(10, {1, 6});
    GetParam().breakIt(tables);
    EXPECT_OUTCOME(build(tables), qtError(GetParam().code));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraVideoRefusal,
    testing::Values(
        BrokenCamera{"NoStss", [](auto &t) { t.pop_back(); }, CMyQTException::kBadTableEntry},
        BrokenCamera{"OneStssEntry", [](auto &t) { t.back() = qt::stss({1}); }, CMyQTException::kBadTableEntry},
        BrokenCamera{"SecondStssEntryNotAfterFirst",
                     [](auto &t) {
                         t.back() = qt::stss({6, 1});
                     },
                     CMyQTException::kBadTableEntry},
        BrokenCamera{"EqualStssEntries",
                     [](auto &t) {
                         t.back() = qt::stss({3, 3});
                     },
                     CMyQTException::kBadTableEntry},
        BrokenCamera{"ZeroFrameDuration",
                     [](auto &t) {
                         t[0] = qt::stts({{10, 0}});
                     },
                     CMyQTException::kBadTableEntry},
        BrokenCamera{"EmptyStts", [](auto &t) { t[0] = qt::stts({}); }, CMyQTException::kOutsideAtom},
        BrokenCamera{"FewerChunkOffsetsThanSamples",
                     [](auto &t) {
                         t[3] = qt::stco({100, 110, 120});
                     },
                     CMyQTException::kOutsideAtom},
        BrokenCamera{"CommonSampleSize", [](auto &t) { t[2] = qt::stszCommon(10, 10); }, CMyQTException::kOutsideAtom},
        BrokenCamera{"StszTableCutShort",
                     [](auto &t) {
                         t[2] = qt::stsz({10, 10, 10});
                         t[2].body()[11] = 10; // count 10, three sizes
                     },
                     CMyQTException::kOutsideAtom}),
    [](const testing::TestParamInfo<BrokenCamera> &info) { return info.param.name; });

} // namespace
} // namespace orvex::test
