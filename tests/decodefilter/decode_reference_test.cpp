// Whole movies through file source, parser and decode filter against
// ffmpeg's decoding of the same file: every output format, scaling and
// deblocking mode, each case summed up in one line.
#include "decode_graph.h"

#include "support/ffmpeg_reference.h"

namespace {

using orvex::test::psnr;
using orvex::test::referenceFrames;

struct ReferenceCase {
    const char *movie;
    const GUID *subtype;
    LONG scaling, deblocking;
    const char *summary;
};

// Every column of a w x h plane at offset, or its last column only.
std::vector<BYTE> Plane(const std::vector<BYTE> &planes, size_t offset, size_t w, size_t h, bool lastColumn)
{
    std::vector<BYTE> out;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = lastColumn ? w - 1 : 0; x < w; ++x)
            out.push_back(planes[offset + y * w + x]);
    return out;
}

// Unscaled planar pictures match ffmpeg's MD5s; scaled ones are close to
// ffmpeg's own scaling over each plane and its last column (no chroma sample
// lost); packed RGB pictures are top-down and close to ffmpeg's bgr24.
bool Matches(const ReceivedSample &picture, const std::string &md5, const ReferenceCase &c, size_t i, size_t w,
             size_t h)
{
    const bool planar = *c.subtype == MEDIASUBTYPE_YV12 || *c.subtype == MEDIASUBTYPE_IYUV;
    const std::string path = MoviePath(c.movie);
    if (planar && !c.scaling) return md5 == PictureMd5(picture, *c.subtype == MEDIASUBTYPE_YV12);
    if (planar) {
        const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
        const auto &reference = referenceFrames(path, "yuv420p", w * h + 2 * cw * ch,
                                                "scale=" + std::to_string(w) + ":" + std::to_string(h));
        const std::vector<BYTE> ours = PicturePlanes(picture, *c.subtype == MEDIASUBTYPE_YV12);
        if (ours.size() != reference[i].size()) return false;
        const size_t planes[][3] = {{0, w, h}, {w * h, cw, ch}, {w * h + cw * ch, cw, ch}};
        for (const auto &p : planes)
            for (bool edge : {false, true})
                if (psnr(Plane(ours, p[0], p[1], p[2], edge), Plane(reference[i], p[0], p[1], p[2], edge)) < 30)
                    return false;
        return true;
    }
    const size_t pixelBytes = *c.subtype == MEDIASUBTYPE_RGB32 ? 4 : 3, stride = (w * pixelBytes + 3) & ~size_t(3);
    std::vector<BYTE> rows;
    for (size_t y = 0; y < h; ++y)
        rows.insert(rows.end(), picture.bytes.begin() + long(y * stride),
                    picture.bytes.begin() + long(y * stride + w * pixelBytes));
    return orvex::test::packedPsnr(rows, pixelBytes, referenceFrames(path, "bgr24", w * h * 3)[i], 3, 3) > 30;
}

class ReferenceTest : public DecodeGraphTest, public testing::WithParamInterface<ReferenceCase> {};

TEST_P(ReferenceTest, PicturesMatchFfmpegWithTheIndexTimesAndTheProposedLayout)
{
    const ReferenceCase &c = GetParam();
    Parameters()->SetIYUVFlag(*c.subtype == MEDIASUBTYPE_IYUV);
    ASSERT_EQ(S_OK, Parameters()->SetOutputScalingMode(c.scaling));
    ASSERT_EQ(S_OK, Parameters()->SetDeblockingSkipMode(c.deblocking));
    BuildMovieInput(MoviePath(c.movie));
    ConnectSink(*c.subtype);
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_TRUE(m_graph.Completes());

    const std::vector<ReceivedSample> pictures = m_sink->Received();
    ASSERT_FALSE(pictures.empty());
    const auto &vih = *reinterpret_cast<const VIDEOINFOHEADER *>(pictures[0].type.Format());
    const RECT &target = vih.rcTarget;
    const size_t w = size_t(target.right ? target.right : vih.bmiHeader.biWidth);
    const size_t h = size_t(target.bottom ? target.bottom : std::abs(vih.bmiHeader.biHeight));
    const std::vector<ReferencePicture> reference = ReferencePictures(MoviePath(c.movie), w, h);
    size_t matching = 0, timed = 0;
    for (size_t i = 0; i < pictures.size() && i < reference.size(); ++i) {
        matching += Matches(pictures[i], reference[i].md5, c, i, w, h);
        timed +=
            pictures[i].Timed() && pictures[i].start == reference[i].start && pictures[i].stop == reference[i].stop;
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "%zu/%zu, %ldx%ld in %ldx%ld, %lu bytes, %zu match, %zu timed",
                  pictures.size(), reference.size(), long(target.right), long(target.bottom),
                  long(vih.bmiHeader.biWidth), long(vih.bmiHeader.biHeight), (unsigned long)vih.bmiHeader.biSizeImage,
                  matching, timed);
    EXPECT_EQ(c.summary, std::string(summary));
    EXPECT_EQ("eos", m_sink->Events().back()); // and no picture after it
    EXPECT_EQ(vih.bmiHeader.biSizeImage, pictures[0].type.GetSampleSize());
}

const GUID *const kYV12 = &MEDIASUBTYPE_YV12, *const kIYUV = &MEDIASUBTYPE_IYUV, *const kRGB24 = &MEDIASUBTYPE_RGB24,
                  *const kRGB32 = &MEDIASUBTYPE_RGB32;

INSTANTIATE_TEST_SUITE_P(
    Movies, ReferenceTest,
    testing::ValuesIn(std::vector<ReferenceCase>{
        {"main_aac_faststart.mov", kYV12, 0, 0, "60/60, 0x0 in 160x120, 28800 bytes, 60 match, 60 timed"},
        {"odd_size_sowt_3000.mov", kYV12, 0, 0, "30/30, 162x98 in 164x98, 24108 bytes, 30 match, 30 timed"},
        {"odd_size_sowt_3000.mov", kIYUV, 0, 0, "30/30, 162x98 in 164x98, 24108 bytes, 30 match, 30 timed"},
        // Descriptions larger and smaller than the picture the SPS gives.
        {"description_320x256_sps_320x240.mov", kYV12, 0, 0, "15/15, 0x0 in 320x240, 115200 bytes, 15 match, 15 timed"},
        {"description_322x242_sps_336x256.mov", kIYUV, 0, 0,
         "15/15, 322x242 in 324x242, 117612 bytes, 15 match, 15 timed"},
        // Odd scaled sizes: padded strides, the picture in the rectangles.
        {"odd_half_322x242.mov", kYV12, 1, 0, "15/15, 161x121 in 164x122, 30012 bytes, 15 match, 15 timed"},
        {"odd_half_322x242.mov", kIYUV, 1, 0, "15/15, 161x121 in 164x122, 30012 bytes, 15 match, 15 timed"},
        {"odd_half_322x242.mov", kYV12, 2, 0, "15/15, 0x0 in 80x60, 7200 bytes, 15 match, 15 timed"},
        // 162 pixels wide: RGB24 rows are padded from 486 to 488 bytes.
        {"odd_size_sowt_3000.mov", kRGB24, 0, 0, "30/30, 0x0 in 162x-98, 47824 bytes, 30 match, 30 timed"},
        {"odd_size_sowt_3000.mov", kRGB32, 0, 0, "30/30, 0x0 in 162x-98, 63504 bytes, 30 match, 30 timed"},
        // Skipping the deblocking filter changes the pictures.
        {"video_only_faststart.mov", kYV12, 0, 1, "15/15, 0x0 in 176x144, 38016 bytes, 0 match, 15 timed"}}));

} // namespace
