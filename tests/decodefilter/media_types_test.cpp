// What the decode filter offers and accepts while the graph is built, how it
// copies pictures into samples of those types, its parameters and page, and
// whole movies' pictures against ffmpeg's.
#include "H264DecodeFilter/MyFrameCopy.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"
#include "decode_graph.h"
#include "support/ffmpeg_reference.h"

#include "support/debug_capture.h"

#include <orvexcom.h>
#include <orvexdlg.h>

#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace {

VIDEOINFOHEADER &VideoInfo(CMediaType &type)
{
    return *reinterpret_cast<VIDEOINFOHEADER *>(type.Format());
}

// The decode output pin's proposals, in order.
std::vector<CMediaType> Proposals(IPin *pin)
{
    std::vector<CMediaType> types;
    ComPtr<IEnumMediaTypes> all;
    if (FAILED(pin->EnumMediaTypes(&all))) return types;
    for (AM_MEDIA_TYPE *pmt = nullptr; all->Next(1, &pmt, nullptr) == S_OK; DeleteMediaType(pmt))
        types.emplace_back(*pmt);
    return types;
}

// "FOURCC BITS STRIDExHEIGHT SIZE [TARGET] ACCEPTED" per proposal, one a line.
std::string Describe(IPin *out, const std::vector<CMediaType> &types)
{
    std::string text;
    for (CMediaType type : types) {
        const VIDEOINFOHEADER &vih = VideoInfo(type);
        const BITMAPINFOHEADER &bih = vih.bmiHeader;
        const DWORD c = bih.biCompression;
        char line[128];
        std::snprintf(line, sizeof line, "%s %d %ldx%ld %lu [%ld,%ld] %s\n",
                      c == BI_RGB ? "RGB" : std::string{char(c), char(c >> 8), char(c >> 16), char(c >> 24)}.c_str(),
                      bih.biBitCount, long(bih.biWidth), long(bih.biHeight), (unsigned long)type.GetSampleSize(),
                      long(vih.rcTarget.right), long(vih.rcTarget.bottom),
                      out->QueryAccept(&type) == S_OK ? "yes" : "no");
        text += line;
    }
    return text;
}

// 162 x 98: planar types are laid out at their padded stride of 164 with the
// picture in the rectangles; RGB24 rows pad to 488; IYUV only when asked;
// scaling shrinks what is proposed and what is accepted.
TEST_F(DecodeGraphTest, ProposalsAndAcceptanceFollowTheSizeOrientationAndRectangles)
{
    BuildMovieInput(MoviePath("odd_size_sowt_3000.mov"));
    Parameters()->SetIYUVFlag(1);
    const std::vector<CMediaType> full = Proposals(DecodeOut());
    EXPECT_EQ("YV12 12 164x98 24108 [162,98] yes\nRGB 32 162x-98 63504 [0,0] yes\nRGB 24 162x-98 47824 [0,0] yes\n"
              "IYUV 12 164x98 24108 [162,98] yes\n",
              Describe(DecodeOut(), full));
    Parameters()->SetIYUVFlag(0);
    EXPECT_EQ(3u, Proposals(DecodeOut()).size());
    std::vector<CMediaType> variants = {full[3], full[1], full[0], full[0], full[0]};
    VideoInfo(variants[1]).bmiHeader.biHeight = 98; // bottom-up
    // A renderer's surface: a wider stride, the picture in both rectangles;
    // then without the source rectangle, and off the left edge.
    for (CMediaType *wide : {&variants[2], &variants[3], &variants[4]}) {
        VideoInfo(*wide).bmiHeader.biWidth = 256;
        VideoInfo(*wide).rcSource = VideoInfo(*wide).rcTarget = RECT{0, 0, 162, 98};
    }
    VideoInfo(variants[3]).rcSource = RECT{};
    VideoInfo(variants[4]).rcSource = VideoInfo(variants[4]).rcTarget = RECT{2, 0, 164, 98};
    EXPECT_EQ("IYUV 12 164x98 24108 [162,98] no\nRGB 32 162x98 63504 [0,0] no\nYV12 12 256x98 24108 [162,98] yes\n"
              "YV12 12 256x98 24108 [162,98] no\nYV12 12 256x98 24108 [164,98] no\n",
              Describe(DecodeOut(), variants));
    std::string scaled;
    for (LONG scaling : {1, 2}) {
        ASSERT_EQ(S_OK, Parameters()->SetOutputScalingMode(scaling));
        scaled += Describe(DecodeOut(), {Proposals(DecodeOut())[1], full[1]});
    }
    EXPECT_EQ("RGB 32 81x-49 15876 [0,0] yes\nRGB 32 162x-98 63504 [0,0] no\n"
              "RGB 32 40x-24 3840 [0,0] yes\nRGB 32 162x-98 63504 [0,0] no\n",
              scaled);
}

TEST_F(DecodeGraphTest, ConnectedRGB32OfAFullRangeStreamTakesRGB24ButNotYV12)
{
    PushStream stream = LoadPushStream("decoder/baseline_fullrange_128x96.h264", 128, 96);
    ASSERT_EQ(S_OK, BuildPushInput(stream));
    std::vector<CMediaType> types = Proposals(DecodeOut()); // YV12, RGB32, RGB24
    ConnectSink(MEDIASUBTYPE_RGB32);

    orvex::test::DebugCapture trace;
    EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&types[2]));
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&types[0]));
    EXPECT_EQ(1u, trace.count("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n"));

    // And its full-range 24-bit pictures go out widened to RGB32.
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    for (const std::vector<BYTE> &sample : stream.samples)
        ASSERT_EQ(S_OK, m_push->Out()->Push(sample));
    ASSERT_EQ(S_OK, m_push->Out()->DeliverEndOfStream());
    ASSERT_TRUE(m_sink->WaitFor("eos"));
    EXPECT_EQ(stream.samples.size(), m_sink->Received().size());
}

// The media figures the parser's accessor gives make the frame duration and
// the bit rate (here of 176 x 144 RGB32 pictures, 101376 bytes); input from
// anything but the parser, or with parameter sets the decoder refuses, is
// refused.
struct Upstream {
    bool accessor, badSps;
    LONG timeScale, duration, sampleCount;
    HRESULT connection;
    const char *figures; // "AVGTIMEPERFRAME BITRATE"
};

class UpstreamTest : public DecodeGraphTest, public testing::WithParamInterface<Upstream> {};

TEST_P(UpstreamTest, ConnectsWithTheFrameDurationAndBitRateOfTheMediaFigures)
{
    const Upstream &c = GetParam();
    PushStream stream = LoadPushStream("movies/stream_176x144_15fps.h264", 176, 144);
    stream.withAccessor = c.accessor;
    if (c.badSps) stream.sps = {0x67, 0xFF};
    std::tie(stream.timeScale, stream.duration, stream.sampleCount) = std::tie(c.timeScale, c.duration, c.sampleCount);
    ASSERT_EQ(c.connection, BuildPushInput(stream));
    if (FAILED(c.connection)) return;
    CMediaType rgb32 = Proposals(DecodeOut())[1];
    EXPECT_EQ(c.figures,
              std::to_string(VideoInfo(rgb32).AvgTimePerFrame) + " " + std::to_string(VideoInfo(rgb32).dwBitRate));
}

INSTANTIATE_TEST_SUITE_P(MediaFigures, UpstreamTest,
                         testing::Values(Upstream{true, false, 30000, 30030000, 30000, S_OK, "333666 24305934"},
                                         Upstream{true, false, 15000, 30000, 30, S_OK, "666666 12165120"},
                                         // Unknown rates: no figure rather than a division by zero.
                                         Upstream{true, false, 0, 30000, 30, S_OK, "0 0"},
                                         Upstream{true, false, 15000, 30000, 0, S_OK, "0 0"},
                                         Upstream{true, false, 15000, 20, 30, S_OK, "0 0"},
                                         Upstream{false, false, 15000, 30000, 30, VFW_E_NO_INTERFACE, ""},
                                         Upstream{true, true, 15000, 30000, 30, VFW_E_NO_INTERFACE, ""}));

// Copying picture records into output samples: RGB24-to-RGB32 widening.
TEST(FrameCopyTest, FullRangeRGB24IsWidenedToRGB32)
{
    const DWORD width = 1918, height = 2; // the last two pixels of a row one by one
    CMyRGBBuffer picture(width, height, 7);
    std::vector<BYTE> rgb(width * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = BYTE(i * 7 + 1);
    picture.Write(rgb.data(), DWORD(rgb.size()));
    const CMediaType type = VideoType(MEDIASUBTYPE_RGB32, LONG(width), -LONG(height), 32);
    std::vector<BYTE> sample(width * 4 * height, 0xEE);
    ASSERT_EQ(S_OK, CopyFrame(GetFrameLayout(type, picture), picture, sample.data(), LONG(sample.size())));
    std::vector<BYTE> widened;
    for (size_t p = 0; p < width * height; ++p)
        widened.insert(widened.end(), {rgb[p * 3], rgb[p * 3 + 1], rgb[p * 3 + 2], 0});
    EXPECT_EQ(widened, sample);
}

// Copies that would overrun: a rectangle wider than the stride would overlap
// the rows; a 1920 x 1080 picture into a surface of stride 2048 and 1088 rows
// one byte short of the last chroma row.
TEST(FrameCopyTest, CopiesThatWouldOverrunAreRefused)
{
    CMyRGBBuffer rgb(5, 3, 6);
    const CMediaType narrow = VideoType(MEDIASUBTYPE_RGB24, 4, -3, 24, RECT{0, 0, 5, 3});
    std::vector<BYTE> sample(64, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(GetFrameLayout(narrow, rgb), rgb, sample.data(), 64));
    CMyYUVBuffer planar(1920, 1080, 1);
    const CMediaType yv12 = VideoType(MEDIASUBTYPE_YV12, 2048, 1088, 12, RECT{0, 0, 1920, 1080});
    std::vector<BYTE> small(2048 * 1088 * 3 / 2 - 1024 * 4 - 65, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(GetFrameLayout(yv12, planar), planar, small.data(), LONG(small.size())));
}

// A page site that takes status changes.
class PageSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD) override { return S_OK; }
    STDMETHODIMP GetLocaleID(LCID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown **) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
};

// The filter names its page. The connected output type has the size of the
// scaling it was made with: another scaling is refused until the output
// connects again, so no picture is written at one size into a type of
// another. Modes outside 0 to 2 are refused.
TEST_F(DecodeGraphTest, ScalingIsRefusedWhileTheOutputIsConnected)
{
    CAUUID pages{};
    ASSERT_EQ(S_OK, m_decoder->GetPages(&pages));
    EXPECT_TRUE(pages.cElems == 1 && pages.pElems[0] == CLSID_OrvexH264DecodeFilterPropertyPage);
    CoTaskMemFree(pages.pElems);
    BuildMovieInput(MoviePath("video_only_faststart.mov"));
    ConnectSink(MEDIASUBTYPE_YV12);
    HRESULT hr = S_OK;
    auto *page = static_cast<COrvexH264DecodeFilterPropertyPage *>(
        COrvexH264DecodeFilterPropertyPage::CreateInstance(nullptr, &hr));
    ComPtr<IPropertyPage> prop;
    ASSERT_EQ(S_OK, page->NonDelegatingQueryInterface(IID_IPropertyPage, &prop));
    PageSite site;
    ASSERT_EQ(S_OK, prop->SetPageSite(&site));
    IUnknown *object = Parameters();
    ASSERT_EQ(S_OK, prop->SetObjects(1, &object));
    RECT rc{0, 0, 300, 200};
    ASSERT_EQ(S_OK, prop->Activate(nullptr, &rc, FALSE));
    ASSERT_TRUE(OrvexClickDlgButton(page->Dialog(), IDC_SCALING_HALF));
    IOrvexH264DecoderParameter2 *p = Parameters();
    EXPECT_EQ((std::vector<HRESULT>{VFW_E_ALREADY_CONNECTED, S_OK, 0, S_OK, VFW_E_ALREADY_CONNECTED}),
              (std::vector<HRESULT>{prop->Apply(), prop->IsPageDirty(), p->GetOutputScalingMode(),
                                    p->SetOutputScalingMode(0), p->SetOutputScalingMode(2)}));
    ASSERT_EQ(S_OK, m_graph->Disconnect(DecodeOut()));
    ASSERT_EQ(S_OK, m_graph->Disconnect(m_sink));
    EXPECT_EQ(
        (std::vector<HRESULT>{S_OK, 1, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, 1, 0}),
        (std::vector<HRESULT>{prop->Apply(), p->GetOutputScalingMode(), p->SetOutputScalingMode(-1),
                              p->SetDeblockingSkipMode(3), p->SetOutputScalingMode(0x7FFFFFFF),
                              p->SetDeblockingSkipMode(-1), p->GetOutputScalingMode(), p->GetDeblockingSkipMode()}));
    ASSERT_EQ(S_OK, prop->Deactivate());
    prop.Reset();
    EXPECT_EQ(0, OrvexDialogWindowCount());
}

// Whole movies through file source, parser and decode filter against
// ffmpeg's decoding of the same file: every output format, scaling and
// deblocking mode, each case summed up in one line.
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
    if (planar && !c.scaling) return md5 == PictureMd5(picture, *c.subtype == MEDIASUBTYPE_YV12);
    if (planar) {
        const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
        const auto &reference = referenceFrames(MoviePath(c.movie), "yuv420p", w * h + 2 * cw * ch,
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
    return orvex::test::packedPsnr(rows, pixelBytes, referenceFrames(MoviePath(c.movie), "bgr24", w * h * 3)[i], 3, 3) >
           30;
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
