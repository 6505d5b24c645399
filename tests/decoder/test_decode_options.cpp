// The decoder's parameters: output scaling (size and content), deblocking
// skip for all or for non-reference pictures, and a change of the output
// format between steps.
#include "declib_harness.h"
#include "support/ffmpeg_reference.h"

#include <gtest/gtest.h>

#include <string>

namespace declib_test {
namespace {

struct ScalingCase {
    const char *stream;
    uint32_t width;
    uint32_t height;
    int32_t scaling;
    int32_t format;
};

std::string FormatName(int32_t format)
{
    switch (format) {
    case AVCD_PARAM_OUTPUT_FORMAT_ID_I420:
        return "I420";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_YV12:
        return "YV12";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32:
        return "RGB32";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24:
        return "RGB24";
    default:
        return "FullRangeRGB24";
    }
}

class DecLibOutputScaling : public testing::TestWithParam<ScalingCase> {};

TEST_P(DecLibOutputScaling, PicturesHaveTheShiftedSizeAndTheScaledContent)
{
    const ScalingCase &c = GetParam();
    const uint32_t w = c.width >> c.scaling;
    const uint32_t h = c.height >> c.scaling;
    Settings settings;
    settings.format = c.format;
    settings.scaling = c.scaling;
    auto run = DecodeStream(LoadStream(c.stream), settings);
    EXPECT_TRUE(run->Sink().Errors().empty()) << run->Sink().Errors().front();
    EXPECT_FALSE(run->Reader().OverRead());
    const auto &pictures = run->Sink().Pictures();
    const std::string path = StreamPath(c.stream);
    ASSERT_EQ(pictures.size(), referenceMd5s(path).size());

    const std::string filter = "scale=" + std::to_string(w) + ":" + std::to_string(h) + ":flags=bilinear" +
                               (c.format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24 ? ":in_range=pc" : "");
    const bool packed = IsPacked(c.format);
    const size_t bytesPerPixel = c.format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 ? 4 : 3;
    // Chroma planes round odd sizes up, as ffmpeg's do.
    const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    const size_t frameBytes = packed ? size_t{w} * h * bytesPerPixel : size_t{w} * h + 2 * cw * ch;
    const auto &reference =
        referenceFrames(path, packed ? (bytesPerPixel == 4 ? "bgra" : "bgr24") : "yuv420p", frameBytes, filter);
    ASSERT_EQ(reference.size(), pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture &p = pictures[i];
        ASSERT_EQ(p.width, w);
        ASSERT_EQ(p.height, h);
        if (packed) {
            ASSERT_EQ(p.packed.size(), size_t{w} * h * bytesPerPixel);
            EXPECT_GE(packedPsnr(p.packed, bytesPerPixel, reference[i], bytesPerPixel, 3), 40.0) << "picture " << i;
            continue;
        }
        ASSERT_EQ(p.y.size(), size_t{w} * h);
        ASSERT_EQ(p.cb.size(), cw * ch);
        ASSERT_EQ(p.cr.size(), p.cb.size());
        EXPECT_GE(psnr(p.I420(), reference[i]), 40.0) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DecLibOutputScaling,
                         testing::Values(ScalingCase{"baseline_176x144.h264", 176, 144, 1, 0},
                                         ScalingCase{"baseline_176x144.h264", 176, 144, 2, 1},
                                         ScalingCase{"baseline_cropped_202x118.h264", 202, 118, 1, 1},
                                         ScalingCase{"baseline_cropped_202x118.h264", 202, 118, 2, 0},
                                         ScalingCase{"main_cavlc_320x240.h264", 320, 240, 1, 6},
                                         ScalingCase{"main_cavlc_320x240.h264", 320, 240, 2, 5},
                                         ScalingCase{"baseline_cropped_202x118.h264", 202, 118, 2, 5},
                                         ScalingCase{"baseline_cropped_202x118.h264", 202, 118, 1, 7}),
                         [](const auto &info) {
                             const ScalingCase &c = info.param;
                             std::string name = c.stream;
                             return name.substr(0, name.find('.')) + (c.scaling == 1 ? "_half_" : "_quarter_") +
                                    FormatName(c.format);
                         });

TEST(DecLibOutputScaling, PicturesSmallerThanARowOrAPixelAreAnnouncedWithoutBytes)
{
    struct Case {
        int32_t scaling;
        int32_t format;
        uint32_t width, height;
        size_t bytes;
    };
    // 6 x 2 at half size is 3 x 1 (chroma 2 x 1); at quarter size 1 x 0.
    for (const Case c :
         {Case{1, AVCD_PARAM_OUTPUT_FORMAT_ID_I420, 3, 1, 7}, Case{2, AVCD_PARAM_OUTPUT_FORMAT_ID_YV12, 1, 0, 0},
          Case{1, AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32, 3, 1, 12}, Case{2, AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24, 1, 0, 0}}) {
        Settings settings;
        settings.scaling = c.scaling;
        settings.format = c.format;
        auto run = DecodeStream(LoadStream("baseline_6x2.h264"), settings);
        EXPECT_TRUE(run->Sink().Errors().empty()) << run->Sink().Errors().front();
        ASSERT_EQ(run->Sink().Pictures().size(), 2u);
        for (const Picture &p : run->Sink().Pictures()) {
            EXPECT_EQ(p.width, c.width);
            EXPECT_EQ(p.height, c.height);
            EXPECT_EQ(p.y.size() + p.cb.size() + p.cr.size() + p.packed.size(), c.bytes);
        }
    }
}

TEST(DecLibDeblockingSkip, SkippingForAllPicturesChangesThemButNotTheirNumber)
{
    for (const char *name : {"baseline_176x144.h264", "main_cavlc_320x240.h264"}) {
        const auto &reference = referenceMd5s(StreamPath(name));
        Settings settings;
        settings.deblockingSkip = AVCD_DEBLOCKING_SKIP_ALL;
        auto run = DecodeStream(LoadStream(name), settings);
        const auto md5s = Md5sOf(*run);
        ASSERT_EQ(md5s.size(), reference.size()) << name;
        size_t changed = 0;
        for (size_t i = 0; i < md5s.size(); ++i)
            changed += md5s[i] != reference[i];
        // Every picture of these streams has edges the loop filter smooths.
        EXPECT_EQ(changed, md5s.size()) << name;
    }
}

TEST(DecLibDeblockingSkip, SkippingForNonReferencePicturesChangesOnlyThem)
{
    const std::string name = "main_cavlc_bframes_176x144.h264";
    const auto &reference = referenceMd5s(StreamPath(name));
    const auto &types = referencePictureTypes(StreamPath(name));
    ASSERT_EQ(types.size(), reference.size());
    ASSERT_NE(std::count(types.begin(), types.end(), 'B'), 0);
    Settings settings;
    settings.deblockingSkip = AVCD_DEBLOCKING_SKIP_NON_REFERENCE;
    auto run = DecodeStream(LoadStream(name), settings);
    const auto md5s = Md5sOf(*run);
    ASSERT_EQ(md5s.size(), reference.size());
    for (size_t i = 0; i < md5s.size(); ++i) {
        // The B pictures of this stream are not references; the others are.
        if (types[i] == 'B') {
            EXPECT_NE(md5s[i], reference[i]) << "picture " << i;
        } else {
            EXPECT_EQ(md5s[i], reference[i]) << "picture " << i << " (" << types[i] << ")";
        }
    }
}

TEST(DecLibDeblockingSkip, NonReferenceSkipLeavesAnAllReferenceStreamAlone)
{
    const std::string name = "baseline_176x144.h264";
    Settings settings;
    settings.deblockingSkip = AVCD_DEBLOCKING_SKIP_NON_REFERENCE;
    auto run = DecodeStream(LoadStream(name), settings);
    EXPECT_EQ(Md5sOf(*run), referenceMd5s(StreamPath(name)));
}

TEST(DecLibDeblockingSkip, ChangesBetweenStepsTakeEffectOnLaterPictures)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    Harness h;
    ASSERT_TRUE(h.Ready());
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        // At the second IDR picture: nothing later refers to the earlier ones.
        if (i == 6) {
            ASSERT_EQ(h.Decoder().SetParam(AVCD_PARAM_DEBLOCKING_SKIP, AVCD_DEBLOCKING_SKIP_ALL), 1);
        }
        h.Receive(MakeRecord(stream.samples[i]));
    }
    h.EndOfStream();
    const auto md5s = Md5sOf(h);
    ASSERT_EQ(md5s.size(), reference.size());
    // Access units read before the change keep the filter; those still
    // waiting to be read (one step lags one sample) are decoded without it.
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(md5s[i], reference[i]) << "picture " << i;
    for (size_t i = 6; i < md5s.size(); ++i)
        EXPECT_NE(md5s[i], reference[i]) << "picture " << i;
}

TEST(DecLibOutputFormat, ChangesBetweenStepsApplyToTheNextPictureWritten)
{
    const std::string name = "main_cavlc_320x240.h264";
    const auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    const auto &rgb = referenceFrames(StreamPath(name), "bgr24", 320 * 240 * 3);
    Harness h;
    ASSERT_TRUE(h.Ready());
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    size_t yuvPictures = 0;
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        if (i == 5) {
            yuvPictures = h.Sink().Pictures().size();
            ASSERT_EQ(h.Decoder().SetParam(AVCD_PARAM_OUTPUT_FORMAT, AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24), 1);
            h.Sink().SetPacked(true);
        }
        h.Receive(MakeRecord(stream.samples[i]));
    }
    h.EndOfStream();
    EXPECT_TRUE(h.Sink().Errors().empty());
    const auto &pictures = h.Sink().Pictures();
    ASSERT_EQ(pictures.size(), reference.size());
    ASSERT_GT(yuvPictures, 0u);
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (i < yuvPictures) {
            EXPECT_EQ(md5Hex(pictures[i].I420()), reference[i]) << "picture " << i;
        } else {
            ASSERT_EQ(pictures[i].packed.size(), 320u * 240u * 3u);
            EXPECT_GE(packedPsnr(pictures[i].packed, 3, rgb[i], 3, 3), 45.0) << "picture " << i;
        }
    }
}

} // namespace
} // namespace declib_test
