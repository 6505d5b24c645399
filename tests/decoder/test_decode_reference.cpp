// Whole streams decoded through the library's contract and compared with
// the ffmpeg program: picture count and MD5 of every YUV picture, and the
// PSNR of the RGB conversions.
#include "declib_harness.h"
#include "support/ffmpeg_reference.h"

#include <gtest/gtest.h>

#include <string>

namespace declib_test {
namespace {

struct StreamCase {
    const char *name;
    uint32_t width;
    uint32_t height;
    const char *yuvPixFmt; // ffmpeg's name for the stream's own planes
};

const StreamCase kStreams[] = {
    {"baseline_176x144.h264", 176, 144, "yuv420p"},           {"main_cavlc_320x240.h264", 320, 240, "yuv420p"},
    {"baseline_cropped_202x118.h264", 202, 118, "yuv420p"},   {"baseline_slices_176x144.h264", 176, 144, "yuv420p"},
    {"baseline_bt709_128x96.h264", 128, 96, "yuv420p"},       {"baseline_fullrange_128x96.h264", 128, 96, "yuvj420p"},
    {"main_cavlc_bframes_176x144.h264", 176, 144, "yuv420p"}, {"baseline_6x2.h264", 6, 2, "yuv420p"},
};

std::string CaseName(const StreamCase &c)
{
    std::string name = c.name;
    name = name.substr(0, name.find('.'));
    return name;
}

void ExpectCleanRun(const Harness &h)
{
    EXPECT_TRUE(h.Ready());
    EXPECT_FALSE(h.Reader().OverRead()) << "asked for a record that was not queued";
    EXPECT_EQ(h.Count(AVCD_DECODE_END_OF_STREAM), 1u);
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 0u);
    EXPECT_TRUE(h.Sink().Errors().empty()) << h.Sink().Errors().front();
}

class DecLibYuvOutput : public testing::TestWithParam<std::tuple<StreamCase, int32_t>> {};

TEST_P(DecLibYuvOutput, EveryPictureMatchesFfmpegMd5)
{
    const auto &[stream, format] = GetParam();
    const auto &reference = referenceMd5s(StreamPath(stream.name), stream.yuvPixFmt);
    ASSERT_FALSE(reference.empty());
    Settings settings;
    settings.format = format;
    auto h = DecodeStream(LoadStream(stream.name), settings);
    ExpectCleanRun(*h);
    const auto &pictures = h->Sink().Pictures();
    ASSERT_EQ(pictures.size(), reference.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].width, stream.width);
        EXPECT_EQ(pictures[i].height, stream.height);
        EXPECT_EQ(md5Hex(pictures[i].I420()), reference[i]) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, DecLibYuvOutput,
                         testing::Combine(testing::ValuesIn(kStreams),
                                          testing::Values(AVCD_PARAM_OUTPUT_FORMAT_ID_I420,
                                                          AVCD_PARAM_OUTPUT_FORMAT_ID_YV12)),
                         [](const auto &info) {
                             return CaseName(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) == AVCD_PARAM_OUTPUT_FORMAT_ID_I420 ? "_I420" : "_YV12");
                         });

struct RgbCase {
    int32_t format;
    const char *ffmpegPixFmt;
    size_t ourBytes;
    size_t theirBytes;
};

const RgbCase kRgb[] = {
    {AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24, "bgr24", 3, 3},
    {AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32, "bgra", 4, 4},
};

class DecLibRgbOutput : public testing::TestWithParam<std::tuple<StreamCase, RgbCase>> {};

TEST_P(DecLibRgbOutput, MatchesFfmpegConversionWithin45dB)
{
    const auto &[stream, rgb] = GetParam();
    const size_t pixels = size_t{stream.width} * stream.height;
    const auto &reference = referenceFrames(StreamPath(stream.name), rgb.ffmpegPixFmt, pixels * rgb.theirBytes);
    ASSERT_FALSE(reference.empty());
    Settings settings;
    settings.format = rgb.format;
    auto h = DecodeStream(LoadStream(stream.name), settings);
    ExpectCleanRun(*h);
    const auto &pictures = h->Sink().Pictures();
    ASSERT_EQ(pictures.size(), reference.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture &p = pictures[i];
        ASSERT_EQ(p.width, stream.width);
        ASSERT_EQ(p.height, stream.height);
        ASSERT_EQ(p.rowBytes, stream.width * rgb.ourBytes);
        ASSERT_EQ(p.packed.size(), pixels * rgb.ourBytes);
        EXPECT_GE(packedPsnr(p.packed, rgb.ourBytes, reference[i], rgb.theirBytes, 3), 45.0) << "picture " << i;
        if (rgb.ourBytes == 4) {
            bool fourthBytesZero = true;
            for (size_t px = 0; px < pixels; ++px)
                fourthBytesZero = fourthBytesZero && p.packed[4 * px + 3] == 0;
            EXPECT_TRUE(fourthBytesZero) << "picture " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, DecLibRgbOutput,
                         testing::Combine(testing::ValuesIn(kStreams), testing::ValuesIn(kRgb)), [](const auto &info) {
                             return CaseName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).ffmpegPixFmt;
                         });

// Full-range RGB24 treats the samples as full range whatever the stream says.
TEST(DecLibFullRangeRgb24, LimitedRangeStreamIsReadAsFullRange)
{
    const StreamCase stream = kStreams[0];
    const size_t bytes = size_t{stream.width} * stream.height * 3;
    const auto &asFull = referenceFrames(StreamPath(stream.name), "bgr24", bytes, "scale=in_range=pc");
    const auto &asLimited = referenceFrames(StreamPath(stream.name), "bgr24", bytes);
    Settings settings;
    settings.format = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
    auto h = DecodeStream(LoadStream(stream.name), settings);
    ExpectCleanRun(*h);
    const auto &pictures = h->Sink().Pictures();
    ASSERT_EQ(pictures.size(), asFull.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_GE(packedPsnr(pictures[i].packed, 3, asFull[i], 3, 3), 45.0) << "picture " << i;
        EXPECT_LT(packedPsnr(pictures[i].packed, 3, asLimited[i], 3, 3), 45.0) << "picture " << i;
    }
}

TEST(DecLibFullRangeRgb24, FullRangeStreamGivesTheSameAsRgb24)
{
    const std::string name = "baseline_fullrange_128x96.h264";
    Settings rgb24;
    rgb24.format = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24;
    Settings full = rgb24;
    full.format = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
    auto a = DecodeStream(LoadStream(name), rgb24);
    auto b = DecodeStream(LoadStream(name), full);
    ASSERT_EQ(a->Sink().Pictures().size(), 4u);
    ASSERT_EQ(b->Sink().Pictures().size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(a->Sink().Pictures()[i].packed, b->Sink().Pictures()[i].packed) << "picture " << i;
}

// The stream's matrix coefficients (BT.709 here) choose the conversion.
TEST(DecLibRgbMatrix, Bt709StreamIsNotConvertedAsBt601)
{
    const std::string name = "baseline_bt709_128x96.h264";
    const auto &as601 = referenceFrames(StreamPath(name), "bgr24", 128 * 96 * 3, "scale=in_color_matrix=bt601");
    Settings settings;
    settings.format = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24;
    auto h = DecodeStream(LoadStream(name), settings);
    ExpectCleanRun(*h);
    const auto &pictures = h->Sink().Pictures();
    ASSERT_EQ(pictures.size(), as601.size());
    for (size_t i = 0; i < pictures.size(); ++i)
        EXPECT_LT(packedPsnr(pictures[i].packed, 3, as601[i], 3, 3), 40.0) << "picture " << i;
}

} // namespace
} // namespace declib_test
