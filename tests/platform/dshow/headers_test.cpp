// streams.h on its own: every header of the base classes compiles in one
// translation unit, and the published values are the ones Windows code
// expects.
#include <streams.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Text(REFGUID g)
{
    OLECHAR buf[CHARS_IN_GUID];
    StringFromGUID2(g, buf, CHARS_IN_GUID);
    return buf;
}

struct GuidCase {
    const GUID *guid;
    const wchar_t *text;
};

class DShowPublishedGuids : public testing::TestWithParam<GuidCase> {};

TEST_P(DShowPublishedGuids, HaveTheirRegistryText)
{
    EXPECT_EQ(GetParam().text, Text(*GetParam().guid));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DShowPublishedGuids,
    testing::Values(GuidCase{&IID_IBaseFilter, L"{56A86895-0AD4-11CE-B03A-0020AF0BA770}"},
                    GuidCase{&IID_IMemInputPin, L"{56A8689D-0AD4-11CE-B03A-0020AF0BA770}"},
                    GuidCase{&IID_IMediaSeeking, L"{36B73880-C2C8-11CF-8B46-00805F6CEF60}"},
                    GuidCase{&IID_IFilterMapper2, L"{B79BB0B0-33C1-11D1-ABE1-00A0C905F375}"},
                    GuidCase{&IID_ISpecifyPropertyPages, L"{B196B28B-BAB4-101A-B69C-00AA00341D07}"},
                    GuidCase{&MEDIATYPE_Audio, L"{73647561-0000-0010-8000-00AA00389B71}"},
                    GuidCase{&MEDIASUBTYPE_YV12, L"{32315659-0000-0010-8000-00AA00389B71}"},
                    GuidCase{&MEDIASUBTYPE_RGB24, L"{E436EB7D-524F-11CE-9F53-0020AF0BA770}"},
                    GuidCase{&FORMAT_VideoInfo, L"{05589F80-C356-11CE-BF01-00AA0055595A}"},
                    GuidCase{&FORMAT_WaveFormatEx, L"{05589F81-C356-11CE-BF01-00AA0055595A}"},
                    GuidCase{&TIME_FORMAT_MEDIA_TIME, L"{7B785574-8C82-11CF-BC0C-00AA00AC74F6}"},
                    GuidCase{&CLSID_LegacyAmFilterCategory, L"{083863F1-70DE-11D0-BD40-00A0C911CE86}"}));

TEST(DShowPublishedValues, ResultCodesAndFlags)
{
    EXPECT_EQ(static_cast<HRESULT>(0x80040211), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(static_cast<HRESULT>(0x80040227), VFW_E_WRONG_STATE);
    EXPECT_EQ(static_cast<HRESULT>(0x8004022A), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(static_cast<HRESULT>(0x80040215), VFW_E_NO_INTERFACE);
    EXPECT_EQ(static_cast<HRESULT>(0x00040103), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(0u, static_cast<DWORD>(AM_STREAM_MEDIA));
    EXPECT_EQ(1u, static_cast<DWORD>(AM_STREAM_CONTROL));
    EXPECT_EQ(3, AM_SEEKING_PositioningBitsMask);
    EXPECT_EQ(0x20, AM_SEEKING_NoFlush);
    EXPECT_EQ(0x600000, MERIT_NORMAL);
    EXPECT_EQ(0x111, WM_COMMAND);
    EXPECT_EQ(1, PROPPAGESTATUS_DIRTY);
}

TEST(DShowPublishedValues, WindowsSizes)
{
    EXPECT_EQ(88u, sizeof(VIDEOINFOHEADER));
    EXPECT_EQ(40u, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(18u, sizeof(WAVEFORMATEX));
    EXPECT_EQ(16u, sizeof(ALLOCATOR_PROPERTIES));
    EXPECT_EQ(36u, offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId) + sizeof(DWORD));
    EXPECT_EQ(4u, sizeof(LONG));
    EXPECT_EQ(8u, sizeof(REFERENCE_TIME));
}

} // namespace
