// What the decode filter offers and accepts while the graph is built, how it
// copies pictures into samples of those types, and its parameters and page.
#include "H264DecodeFilter/MyFrameCopy.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"
#include "decode_graph.h"

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
    CMediaType yv12 = Proposals(DecodeOut())[0];
    CMediaType rgb24 = Proposals(DecodeOut())[2];
    ConnectSink(MEDIASUBTYPE_RGB32);

    orvex::test::DebugCapture trace;
    EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&rgb24));
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&yv12));
    EXPECT_EQ(1u, trace.count("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n"));

    // And its full-range 24-bit pictures go out widened to RGB32.
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, 10000000, 1.0));
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
    EXPECT_EQ(1u, pages.cElems);
    EXPECT_EQ(CLSID_OrvexH264DecodeFilterPropertyPage, pages.pElems[0]);
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
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, prop->Apply());
    EXPECT_EQ(S_OK, prop->IsPageDirty());
    EXPECT_EQ(0, Parameters()->GetOutputScalingMode());
    EXPECT_EQ(S_OK, Parameters()->SetOutputScalingMode(0));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Parameters()->SetOutputScalingMode(2));

    ASSERT_EQ(S_OK, m_graph->Disconnect(DecodeOut()));
    ASSERT_EQ(S_OK, m_graph->Disconnect(m_sink));
    EXPECT_EQ(S_OK, prop->Apply());
    EXPECT_EQ(1, Parameters()->GetOutputScalingMode());
    for (LONG bad : {-1, 3, 0x7FFFFFFF})
        EXPECT_EQ(std::pair(E_INVALIDARG, E_INVALIDARG),
                  std::pair(Parameters()->SetOutputScalingMode(bad), Parameters()->SetDeblockingSkipMode(bad)));
    EXPECT_EQ(1, Parameters()->GetOutputScalingMode() + Parameters()->GetDeblockingSkipMode());
    ASSERT_EQ(S_OK, prop->Deactivate());
    prop.Reset();
    EXPECT_EQ(0, OrvexDialogWindowCount());
}

} // namespace
