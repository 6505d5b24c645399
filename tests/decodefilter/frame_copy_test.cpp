// Copying picture records into output samples: RGB24-to-RGB32 widening and
// copies that would overrun the sample.
#include "H264DecodeFilter/MyFrameCopy.h"
#include "decode_graph.h"

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

// Copies that would overrun: a rectangle wider than the stride would overlap
// the rows; a 1920 x 1080 picture into a surface of stride 2048 and 1088 rows
// one byte short of the last chroma row.
TEST(FrameCopyTest, CopiesThatWouldOverrunAreRefused)
{
    CMyRGBBuffer rgb(5, 3, 6);
    const CMediaType narrow = OutputType(MEDIASUBTYPE_RGB24, 4, -3, 24, RECT{0, 0, 5, 3});
    std::vector<BYTE> sample(64, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(GetFrameLayout(narrow, rgb), rgb, sample.data(), 64));
    CMyYUVBuffer planar(1920, 1080, 1);
    const CMediaType yv12 = OutputType(MEDIASUBTYPE_YV12, 2048, 1088, 12, RECT{0, 0, 1920, 1080});
    std::vector<BYTE> small(2048 * 1088 * 3 / 2 - 1024 * 4 - 65, 0);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, CopyFrame(GetFrameLayout(yv12, planar), planar, small.data(), LONG(small.size())));
}

} // namespace
