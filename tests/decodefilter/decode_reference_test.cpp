// Whole movies through file source, parser and decode filter: every picture
// against ffmpeg's decoding of the same file.
#include "decode_graph.h"
#include "frame_reference.h"

#include <cmath>
#include <cstring>

namespace {

const VIDEOINFOHEADER &VideoInfo(const CMediaType &type)
{
    return *reinterpret_cast<const VIDEOINFOHEADER *>(type.Format());
}

struct PlanarCase {
    const char *movie;
    bool iyuv;
};

class PlanarReferenceTest : public DecodeGraphTest, public testing::WithParamInterface<PlanarCase> {};

TEST_P(PlanarReferenceTest, EveryPictureEqualsFfmpegInOrderWithItsTimes)
{
    const PlanarCase &c = GetParam();
    const std::string path = MoviePath(c.movie);
    Parameters()->SetIYUVFlag(c.iyuv ? 1 : 0);
    BuildMovieInput(path);
    ConnectSink(c.iyuv ? MEDIASUBTYPE_IYUV : MEDIASUBTYPE_YV12);
    ASSERT_TRUE(RunToCompletion());

    const std::vector<ReferenceFrame> reference = ReferenceFrames(path);
    const std::vector<ReceivedSample> pictures = m_sink->Received();
    ASSERT_EQ(reference.size(), pictures.size());
    EXPECT_EQ(static_cast<long>(pictures.size()), PicturesBeforeEndOfStream(m_sink->Events()));
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(reference[i].md5, PictureMd5(pictures[i], !c.iyuv)) << "picture " << i;
        EXPECT_TRUE(pictures[i].Timed());
        EXPECT_EQ(reference[i].start, pictures[i].start) << "picture " << i;
        EXPECT_EQ(reference[i].stop, pictures[i].stop) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Movies, PlanarReferenceTest,
    testing::Values(PlanarCase{"baseline_sowt.mov", false}, PlanarCase{"baseline_sowt.mov", true},
                    PlanarCase{"main_aac_faststart.mov", false}, PlanarCase{"main_aac_faststart.mov", true},
                    PlanarCase{"odd_size_sowt_3000.mov", false}, PlanarCase{"odd_size_sowt_3000.mov", true},
                    PlanarCase{"sowt_one_second_chunks.mov", false}, PlanarCase{"video_only_faststart.mov", true},
                    // Descriptions larger and smaller than the picture the SPS gives.
                    PlanarCase{"description_320x256_sps_320x240.mov", false},
                    PlanarCase{"description_322x242_sps_336x256.mov", true}));

struct ScaledCase {
    const char *movie;
    LONG scaling;
    bool iyuv;
    LONG width, height; // of the picture
    LONG stride, rows;  // of the proposed type
};

class ScaledPlanarTest : public DecodeGraphTest, public testing::WithParamInterface<ScaledCase> {};

// Type size, stride and copy agree, and every plane, the last chroma column
// and row included, is close to ffmpeg's own scaling.
TEST_P(ScaledPlanarTest, PlanesMatchFfmpegScalingWithTheProposedLayout)
{
    const ScaledCase &c = GetParam();
    const std::string path = MoviePath(c.movie);
    ASSERT_EQ(S_OK, Parameters()->SetOutputScalingMode(c.scaling));
    Parameters()->SetIYUVFlag(c.iyuv);
    BuildMovieInput(path);
    ConnectSink(c.iyuv ? MEDIASUBTYPE_IYUV : MEDIASUBTYPE_YV12);
    ASSERT_TRUE(RunToCompletion());

    const size_t width = size_t(c.width), height = size_t(c.height);
    const size_t cw = (width + 1) / 2, ch = (height + 1) / 2;
    const auto reference = ReferenceRawFrames(path, "yuv420p", width * height + 2 * cw * ch,
                                              "scale=" + std::to_string(width) + ":" + std::to_string(height));
    const std::vector<ReceivedSample> pictures = m_sink->Received();
    ASSERT_EQ(reference.size(), pictures.size());
    const VIDEOINFOHEADER &vih = VideoInfo(pictures[0].type);
    EXPECT_EQ(c.stride, vih.bmiHeader.biWidth);
    EXPECT_EQ(c.rows, vih.bmiHeader.biHeight);
    // The rectangles name the picture within a padded buffer.
    const RECT visible = c.stride != c.width || c.rows != c.height ? RECT{0, 0, c.width, c.height} : RECT{};
    EXPECT_EQ(0, std::memcmp(&visible, &vih.rcTarget, sizeof(RECT)));
    EXPECT_EQ(DWORD(c.stride * c.rows * 3 / 2), vih.bmiHeader.biSizeImage);
    EXPECT_EQ(vih.bmiHeader.biSizeImage, pictures[0].type.GetSampleSize());

    const size_t planes[][3] = {{0, width, height}, {width * height, cw, ch}, {width * height + cw * ch, cw, ch}};
    for (size_t i = 0; i < pictures.size(); i += 7) {
        const std::vector<BYTE> ours = PicturePlanes(pictures[i], !c.iyuv);
        ASSERT_EQ(reference[i].size(), ours.size());
        for (const auto &plane : planes) {
            // The mean square error over the plane and over its last column.
            double sum = 0, edge = 0;
            for (size_t y = 0; y < plane[2]; ++y)
                for (size_t x = 0; x < plane[1]; ++x) {
                    const size_t at = plane[0] + y * plane[1] + x;
                    const double d = double(ours[at]) - reference[i][at];
                    sum += d * d;
                    if (x + 1 == plane[1]) edge += d * d;
                }
            EXPECT_LT(sum / double(plane[1] * plane[2]), 60.0) << "picture " << i << " plane at " << plane[0];
            EXPECT_LT(edge / double(plane[2]), 60.0) << "picture " << i << " plane at " << plane[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScaledPlanarTest,
                         testing::Values(ScaledCase{"odd_half_322x242.mov", 1, false, 161, 121, 164, 122},
                                         ScaledCase{"odd_half_322x242.mov", 1, true, 161, 121, 164, 122},
                                         ScaledCase{"odd_half_322x242.mov", 2, false, 80, 60, 80, 60}));

// PSNR over the first three bytes of each pixel of rows packed at stride.
double Psnr(const std::vector<BYTE> &ours, size_t stride, size_t pixelBytes, const std::vector<BYTE> &reference,
            size_t width, size_t height, bool flip)
{
    double sum = 0;
    for (size_t y = 0; y < height; ++y) {
        const BYTE *row = ours.data() + (flip ? height - 1 - y : y) * stride;
        for (size_t x = 0; x < width; ++x)
            for (size_t c = 0; c < 3; ++c) {
                const double d = double(row[x * pixelBytes + c]) - reference[(y * width + x) * 3 + c];
                sum += d * d;
            }
    }
    const double mse = sum / double(width * height * 3);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

class RgbOutputTest : public DecodeGraphTest, public testing::WithParamInterface<bool> {};

// 162 pixels wide: RGB24 rows are padded from 486 to 488 bytes.
TEST_P(RgbOutputTest, PicturesAreTopDownWithPaddedStrides)
{
    const bool rgb32 = GetParam();
    const std::string path = MoviePath("odd_size_sowt_3000.mov");
    BuildMovieInput(path);
    ConnectSink(rgb32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24);
    ASSERT_TRUE(RunToCompletion());

    const size_t width = 162, height = 98, pixelBytes = rgb32 ? 4 : 3;
    const size_t stride = rgb32 ? 648 : 488;
    const auto reference = ReferenceRawFrames(path, "bgr24", width * height * 3);
    const std::vector<ReceivedSample> pictures = m_sink->Received();
    ASSERT_EQ(reference.size(), pictures.size());
    for (size_t i = 0; i < pictures.size(); i += 7) {
        const VIDEOINFOHEADER &vih = VideoInfo(pictures[i].type);
        EXPECT_EQ(-98, vih.bmiHeader.biHeight);
        ASSERT_GE(pictures[i].bytes.size(), stride * height);
        const double upright = Psnr(pictures[i].bytes, stride, pixelBytes, reference[i], width, height, false);
        const double flipped = Psnr(pictures[i].bytes, stride, pixelBytes, reference[i], width, height, true);
        EXPECT_GT(upright, 30.0) << "picture " << i;
        EXPECT_GT(upright, flipped + 10.0) << "picture " << i;
        if (rgb32) {
            for (size_t y = 0; y < height; ++y)
                for (size_t x = 0; x < width; ++x)
                    ASSERT_EQ(0, pictures[i].bytes[y * stride + x * 4 + 3]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rgb, RgbOutputTest, testing::Values(false, true));

} // namespace
