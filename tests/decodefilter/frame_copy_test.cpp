// Copying picture records into output samples: plane order, strides,
// RGB24-to-RGB32 widening, and samples too small to hold the copy.
#include "H264DecodeFilter/MyFrameCopy.h"
#include "decode_graph.h"

#include "support/debug_capture.h"

namespace {

CMediaType OutputType(const GUID &subtype, LONG width, LONG height, WORD bitCount, RECT rect = {})
{
    VIDEOINFOHEADER vih{};
    vih.rcSource = vih.rcTarget = rect;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biBitCount = bitCount;
    CMediaType type(&MEDIATYPE_Video);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_VideoInfo);
    type.SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih));
    return type;
}

// A planar picture whose Y, U and V bytes are 1, 2 and 3.
std::unique_ptr<CMyYUVBuffer> MakePlanar(DWORD width, DWORD height, LONG format)
{
    auto picture = std::make_unique<CMyYUVBuffer>(width, height, format);
    const std::vector<BYTE> y(width * height, 1), u(picture->GetUSize(), 2), v(picture->GetVSize(), 3);
    picture->WriteY(y.data(), DWORD(y.size()));
    picture->WriteU(u.data(), DWORD(u.size()));
    picture->WriteV(v.data(), DWORD(v.size()));
    return picture;
}

struct PlanarCase {
    LONG format;
    const GUID *subtype;
    BYTE firstChroma, secondChroma;
};

class PlanarCopyTest : public testing::TestWithParam<PlanarCase> {};

// 1920 x 1080 into a surface of stride 2048 and 1088 rows.
TEST_P(PlanarCopyTest, PlanesLandAtTheStridesOfTheOutputType)
{
    const PlanarCase &c = GetParam();
    const std::unique_ptr<CMyYUVBuffer> pPicture = MakePlanar(1920, 1080, c.format);
    const CMyYUVBuffer &picture = *pPicture;
    const CMediaType type = OutputType(*c.subtype, 2048, 1088, 12, RECT{0, 0, 1920, 1080});
    const MyFrameLayout layout = GetFrameLayout(type, picture);
    const size_t firstChroma = 2048 * 1088, secondChroma = firstChroma + 1024 * 544;
    std::vector<BYTE> sample(secondChroma + 1024 * 544, 0);
    ASSERT_EQ(S_OK, CopyFrame(layout, picture, sample.data(), LONG(sample.size())));

    // The last luma byte, then the stride padding and the rows below
    // untouched, then each chroma plane's first and last bytes and padding.
    std::string probes;
    for (size_t at : {size_t(1079 * 2048 + 1919), size_t(1079 * 2048 + 1920), size_t(1080 * 2048), firstChroma,
                      firstChroma + 539 * 1024 + 959, firstChroma + 539 * 1024 + 960, secondChroma,
                      secondChroma + 539 * 1024 + 959})
        probes += std::to_string(sample[at]);
    const std::string first = std::to_string(c.firstChroma), second = std::to_string(c.secondChroma);
    EXPECT_EQ("100" + first + first + "0" + second + second, probes);

    // One byte short of the last chroma row: refused, nothing written.
    std::vector<BYTE> small(sample.size() - 1024 * 4 - 65, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(layout, picture, small.data(), LONG(small.size())));
    EXPECT_EQ(0, small[0]);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlanarCopyTest,
                         testing::Values(PlanarCase{1, &MEDIASUBTYPE_YV12, 3, 2}, // Y, V, U
                                         PlanarCase{0, &MEDIASUBTYPE_IYUV, 2, 3}  // Y, U, V
                                         ));

TEST(FrameCopyTest, FullRangeRGB24IsWidenedToRGB32)
{
    const DWORD width = 1918, height = 2; // the last two pixels of a row one by one
    CMyRGBBuffer picture(width, height, 7);
    std::vector<BYTE> rgb(width * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = BYTE(i * 7 + 1);
    picture.Write(rgb.data(), DWORD(rgb.size()));
    const CMediaType type = OutputType(MEDIASUBTYPE_RGB32, LONG(width), -LONG(height), 32);
    std::vector<BYTE> sample(width * 4 * height, 0xEE);
    ASSERT_EQ(S_OK, CopyFrame(GetFrameLayout(type, picture), picture, sample.data(), LONG(sample.size())));
    std::vector<BYTE> widened;
    for (size_t p = 0; p < width * height; ++p)
        widened.insert(widened.end(), {rgb[p * 3], rgb[p * 3 + 1], rgb[p * 3 + 2], 0});
    EXPECT_EQ(widened, sample);
}

TEST(FrameCopyTest, AStrideShorterThanARowIsRefused)
{
    CMyRGBBuffer picture(5, 3, 6);
    // A rectangle wider than the stride would overlap the rows.
    const CMediaType narrow = OutputType(MEDIASUBTYPE_RGB24, 4, -3, 24, RECT{0, 0, 5, 3});
    std::vector<BYTE> sample(64, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(GetFrameLayout(narrow, picture), picture, sample.data(), 64));
}

// A picture whose format does not fit the output subtype cannot arise from
// a connection; handed to frame output it is refused with three lines.
TEST_F(DecodeGraphTest, APictureOfAnotherFormatIsRefusedWithTheMismatchLines)
{
    ASSERT_EQ(S_OK, BuildPushInput(LoadPushStream("movies/stream_176x144_15fps.h264", 176, 144).config));
    ConnectSink(MEDIASUBTYPE_RGB32);
    ASSERT_EQ(S_OK, m_graph.Run());
    CMyRGBBuffer picture(176, 144, 6);
    orvex::test::DebugCapture trace;
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, m_decoder->output(&picture));
    EXPECT_EQ((std::vector<std::string>{"COrvexH264DecodeFilter11::output : Format Mismatch \n",
                                        "  OutputMediaSubtype  = MEDIASUBTYPE_RGB32 \n",
                                        "  DecoderOutputFormat = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 \n"}),
              trace.messages());
    EXPECT_EQ(0u, m_sink->Received().size());
}

} // namespace
