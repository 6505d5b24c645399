// The video media type: subtype and biCompression from the description's
// format, picture size and depth, frame duration and bit rate from the
// media figures, temporal compression by class.
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"

#include <amvideo.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <cstring>

namespace orvex::test {
namespace {

VIDEOINFOHEADER formatOf(const CQuickTimeMediaStreamInfo &info)
{
    VIDEOINFOHEADER vih{};
    EXPECT_EQ(info.GetMediaType().FormatLength(), sizeof(VIDEOINFOHEADER));
    if (info.GetMediaType().FormatLength() == sizeof(vih)) std::memcpy(&vih, info.GetMediaType().Format(), sizeof(vih));
    return vih;
}

TEST(VideoMediaType, FullHdAvc1AtNtscRate)
{
    // 300 samples of 1001 units at 30000: 10.01 seconds.
    TestMovie movie(movieAtom({videoTrack(30000, 300300, evenVideoTables(300, 1001, 1000, 100), 1920, 1080)}));
    CH264MediaStreamInfo info(movie.media(), 0xFFFFFFFF);
    const CMediaType &type = info.GetMediaType();
    EXPECT_EQ(*type.Type(), MEDIATYPE_Video);
    EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_AVC1);
    EXPECT_EQ(*type.FormatType(), FORMAT_VideoInfo);
    EXPECT_FALSE(type.IsFixedSize());
    EXPECT_EQ(type.lSampleSize, 1u);
    EXPECT_TRUE(type.IsTemporalCompressed());

    VIDEOINFOHEADER vih = formatOf(info);
    EXPECT_EQ(vih.AvgTimePerFrame, 333666);
    EXPECT_EQ(vih.bmiHeader.biCompression, MAKEFOURCC('a', 'v', 'c', '1'));
    EXPECT_EQ(vih.bmiHeader.biWidth, 1920);
    EXPECT_EQ(vih.bmiHeader.biHeight, 1080);
    EXPECT_EQ(vih.bmiHeader.biSize, 40u);
    EXPECT_EQ(vih.bmiHeader.biPlanes, 1);
    EXPECT_EQ(vih.bmiHeader.biBitCount, 24);
    EXPECT_EQ(vih.bmiHeader.biSizeImage, 0u);
    EXPECT_EQ(vih.dwBitErrorRate, 0u);
    EXPECT_EQ(vih.rcSource.right, 0);
    EXPECT_EQ(vih.rcTarget.bottom, 0);
    // 300,000 bytes over 10.01 s.
    EXPECT_EQ(vih.dwBitRate, DWORD(300000ULL * 8 * 30000 / 300300));
}

TEST(VideoMediaType, BaseClassLeavesTemporalCompressionOff)
{
    TestMovie movie(movieAtom({videoTrack(600, 500, evenVideoTables(5, 100, 10, 100))}));
    CVideoMediaStreamInfo info(movie.media(), 0xFFFFFFFF);
    EXPECT_FALSE(info.GetMediaType().IsTemporalCompressed());
    EXPECT_EQ(info.GetEntryCount(), 5u);
    EXPECT_EQ(info.GetSampleCount(), 5);
    EXPECT_EQ(GetAVCConfiguration(&info), nullptr);
}

TEST(VideoMediaType, SignedPictureSizeIsSignExtended)
{
    TestMovie movie(movieAtom({videoTrack(600, 500, evenVideoTables(5, 100, 10, 100), 176, -144)}));
    CH264MediaStreamInfo info(movie.media(), 0xFFFFFFFF);
    EXPECT_EQ(formatOf(info).bmiHeader.biHeight, -144);
}

TEST(VideoMediaType, ZeroDurationAndNoSamplesGiveZeroRatesInsteadOfDividing)
{
    TestMovie movie(movieAtom(
        {videoTrack(600, 0, {qt::stts({}), qt::stsc({{1, 1, 1}}), qt::stsz(std::vector<uint32_t>{}), qt::stco({})})}));
    CH264MediaStreamInfo info(movie.media(), 0xFFFFFFFF);
    VIDEOINFOHEADER vih = formatOf(info);
    EXPECT_EQ(vih.dwBitRate, 0u);
    EXPECT_EQ(vih.AvgTimePerFrame, 0);
    EXPECT_EQ(info.GetEntryCount(), 0u);
}

TEST(VideoMediaType, CameraClassTurnsTemporalCompressionOn)
{
    auto tables = evenVideoTables(30, 1000, 10, 100);
    tables.push_back(qt::stss({1, 16}));
    TestMovie movie(movieAtom({videoTrack(15000, 30000, tables)}));
    COrvexCameraH264MediaStreamInfo info(movie.media(), 0xFFFFFFFF);
    EXPECT_TRUE(info.GetMediaType().IsTemporalCompressed());
    EXPECT_EQ(formatOf(info).AvgTimePerFrame, 666666);
    EXPECT_NE(info.GetAVCConfiguration(), nullptr);
}

} // namespace
} // namespace orvex::test
