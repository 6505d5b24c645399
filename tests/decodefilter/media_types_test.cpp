// What the decode filter offers and accepts while the graph is built.
#include "decode_graph.h"

#include "support/debug_capture.h"

#include <cstdlib>
#include <cstring>

namespace {

VIDEOINFOHEADER &VideoInfo(CMediaType &type)
{
    return *reinterpret_cast<VIDEOINFOHEADER *>(type.Format());
}

// The decode output pin's proposals, in order.
std::vector<CMediaType> Proposals(IPin *pin)
{
    std::vector<CMediaType> types;
    IEnumMediaTypes *pEnum = nullptr;
    if (FAILED(pin->EnumMediaTypes(&pEnum))) return types;
    AM_MEDIA_TYPE *pmt = nullptr;
    while (pEnum->Next(1, &pmt, nullptr) == S_OK) {
        types.emplace_back(*pmt);
        DeleteMediaType(pmt);
    }
    pEnum->Release();
    return types;
}

class MovieTypesTest : public DecodeGraphTest {
protected:
    void SetUp() override
    {
        DecodeGraphTest::SetUp();
        BuildMovieInput(MoviePath("odd_size_sowt_3000.mov"));
    }
};

struct Proposal {
    const GUID *subtype;
    DWORD compression;
    WORD bitCount;
    LONG width, height;
    DWORD size;
    RECT target;
};

// 162 x 98: planar types are laid out at their padded stride of 164 with the
// picture in the rectangles; RGB24 rows pad to 488.
TEST_F(MovieTypesTest, ProposesThreeTypesWithPaddedSizesAndIYUVOnlyWhenAsked)
{
    const Proposal expected[] = {
        {&MEDIASUBTYPE_YV12, MAKEFOURCC('Y', 'V', '1', '2'), 12, 164, 98, 164 * 98 * 3 / 2, {0, 0, 162, 98}},
        {&MEDIASUBTYPE_RGB32, BI_RGB, 32, 162, -98, 162 * 4 * 98, {}},
        {&MEDIASUBTYPE_RGB24, BI_RGB, 24, 162, -98, 488 * 98, {}},
        {&MEDIASUBTYPE_IYUV, MAKEFOURCC('I', 'Y', 'U', 'V'), 12, 164, 98, 164 * 98 * 3 / 2, {0, 0, 162, 98}},
    };
    for (BYTE iyuv : {0, 1}) {
        Parameters()->SetIYUVFlag(iyuv);
        std::vector<CMediaType> types = Proposals(DecodeOut());
        ASSERT_EQ(iyuv ? 4u : 3u, types.size());
        for (size_t i = 0; i < types.size(); ++i) {
            const BITMAPINFOHEADER &bih = VideoInfo(types[i]).bmiHeader;
            EXPECT_EQ(*expected[i].subtype, *types[i].Subtype());
            EXPECT_EQ(FORMAT_VideoInfo, *types[i].FormatType());
            EXPECT_EQ(expected[i].compression, bih.biCompression);
            EXPECT_EQ(expected[i].bitCount, bih.biBitCount);
            EXPECT_EQ(expected[i].width, bih.biWidth);
            EXPECT_EQ(expected[i].height, bih.biHeight);
            EXPECT_EQ(0, std::memcmp(&expected[i].target, &VideoInfo(types[i]).rcTarget, sizeof(RECT)));
            EXPECT_EQ(expected[i].size, bih.biSizeImage);
            EXPECT_EQ(expected[i].size, types[i].GetSampleSize());
            EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&types[i]));
        }
    }
    Parameters()->SetIYUVFlag(1);
    CMediaType iyuv = Proposals(DecodeOut())[3];
    Parameters()->SetIYUVFlag(0);
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&iyuv));
}

TEST_F(MovieTypesTest, ScalingShrinksTheProposedAndTheAcceptedSize)
{
    CMediaType full = Proposals(DecodeOut())[1];
    for (LONG scaling : {1, 2}) {
        ASSERT_EQ(S_OK, Parameters()->SetOutputScalingMode(scaling));
        CMediaType scaled = Proposals(DecodeOut())[1];
        EXPECT_EQ(162 >> scaling, VideoInfo(scaled).bmiHeader.biWidth);
        EXPECT_EQ(-(98 >> scaling), VideoInfo(scaled).bmiHeader.biHeight);
        EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&scaled));
        EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&full));
    }
}

TEST_F(MovieTypesTest, RectanglesAndOrientationDecideAcceptance)
{
    CMediaType rgb = Proposals(DecodeOut())[1];
    VideoInfo(rgb).bmiHeader.biHeight = 98; // bottom-up
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&rgb));

    // A renderer's surface: a wider stride, the picture in both rectangles.
    CMediaType wide = Proposals(DecodeOut())[0];
    VideoInfo(wide).bmiHeader.biWidth = 256;
    VideoInfo(wide).rcSource = RECT{0, 0, 162, 98};
    VideoInfo(wide).rcTarget = RECT{0, 0, 162, 98};
    EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&wide));
    VideoInfo(wide).rcSource = RECT{};
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&wide));
    VideoInfo(wide).rcSource = RECT{2, 0, 164, 98};
    VideoInfo(wide).rcTarget = RECT{2, 0, 164, 98};
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&wide));
}

TEST_F(DecodeGraphTest, ConnectedRGB32OfAFullRangeStreamTakesRGB24ButNotYV12)
{
    PushStream stream = LoadPushStream("decoder/baseline_fullrange_128x96.h264", 128, 96);
    ASSERT_EQ(S_OK, BuildPushInput(stream.config));
    CMediaType yv12 = Proposals(DecodeOut())[0];
    CMediaType rgb24 = Proposals(DecodeOut())[2];
    ConnectSink(MEDIASUBTYPE_RGB32);

    orvex::test::DebugCapture trace;
    EXPECT_EQ(S_OK, DecodeOut()->QueryAccept(&rgb24));
    EXPECT_EQ(S_FALSE, DecodeOut()->QueryAccept(&yv12));
    EXPECT_EQ(1u, trace.count("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n"));

    // And its full-range 24-bit pictures go out widened to RGB32.
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, 10000000, 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    for (const std::vector<BYTE> &sample : stream.samples)
        ASSERT_EQ(S_OK, m_push->Push(sample));
    ASSERT_EQ(S_OK, m_push->Out()->DeliverEndOfStream());
    ASSERT_TRUE(WaitForEndOfStream(m_sink));
    EXPECT_EQ(stream.samples.size(), m_sink->Received().size());
    EXPECT_EQ(0u, trace.count("COrvexH264DecodeFilter11::output : Format Mismatch \n"));
}

// A container that gives the coded size of a cropped stream: every proposal
// has the visible size of the stream's own cropping.
TEST_F(DecodeGraphTest, ProposalsHaveTheCroppedSizeOfTheStream)
{
    const PushStream stream = LoadPushStream("decoder/baseline_cropped_202x118.h264", 208, 128);
    ASSERT_EQ(S_OK, BuildPushInput(stream.config));
    // Planar types pad the stride and the height and name the picture in
    // their rectangles; packed types carry the picture size itself.
    for (CMediaType &type : Proposals(DecodeOut())) {
        const VIDEOINFOHEADER &vih = VideoInfo(type);
        const bool framed = vih.rcTarget.right > vih.rcTarget.left;
        EXPECT_EQ(202, framed ? vih.rcTarget.right - vih.rcTarget.left : vih.bmiHeader.biWidth);
        EXPECT_EQ(118, framed ? vih.rcTarget.bottom - vih.rcTarget.top : std::abs(vih.bmiHeader.biHeight));
    }
}

TEST_F(DecodeGraphTest, InputFromAnythingButTheParserIsRefused)
{
    PushStream stream = LoadPushStream("movies/stream_176x144_15fps.h264", 176, 144);
    stream.config.withAccessor = false;
    EXPECT_EQ(VFW_E_NO_INTERFACE, BuildPushInput(stream.config));
    EXPECT_FALSE(m_decoder->GetPin(0)->IsConnected());
}

TEST_F(DecodeGraphTest, ParameterSetsTheDecoderRefusesFailTheConnection)
{
    PushStream stream = LoadPushStream("movies/stream_176x144_15fps.h264", 176, 144);
    stream.config.sps = {0x67, 0xFF};
    EXPECT_EQ(VFW_E_NO_INTERFACE, BuildPushInput(stream.config));
}

struct Figures {
    LONG timeScale, duration, sampleCount;
    REFERENCE_TIME avgTimePerFrame;
    DWORD rgb32BitRate;
};

class FiguresTest : public DecodeGraphTest, public testing::WithParamInterface<Figures> {};

TEST_P(FiguresTest, FrameDurationAndBitRateComeFromTheMediaFigures)
{
    PushStream stream = LoadPushStream("movies/stream_176x144_15fps.h264", 176, 144);
    stream.config.timeScale = GetParam().timeScale;
    stream.config.duration = GetParam().duration;
    stream.config.sampleCount = GetParam().sampleCount;
    ASSERT_EQ(S_OK, BuildPushInput(stream.config));
    CMediaType rgb32 = Proposals(DecodeOut())[1];
    EXPECT_EQ(GetParam().avgTimePerFrame, VideoInfo(rgb32).AvgTimePerFrame);
    EXPECT_EQ(GetParam().rgb32BitRate, VideoInfo(rgb32).dwBitRate);
}

// 176 x 144 RGB32 pictures are 101376 bytes.
INSTANTIATE_TEST_SUITE_P(MediaFigures, FiguresTest,
                         testing::Values(Figures{30000, 30030000, 30000, 333666, 24305934},
                                         Figures{15000, 30000, 30, 666666, 12165120},
                                         // Unknown rates: no figure rather than a division by zero.
                                         Figures{0, 30000, 30, 0, 0}, Figures{15000, 30000, 0, 0, 0},
                                         Figures{15000, 20, 30, 0, 0}));

} // namespace
