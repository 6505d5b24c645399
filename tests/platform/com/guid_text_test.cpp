// GUID text: the registry form written by StringFromGUID2 and read back by
// CLSIDFromString, and refusals of malformed text.
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring text(REFGUID g)
{
    OLECHAR buf[CHARS_IN_GUID];
    EXPECT_EQ(CHARS_IN_GUID, StringFromGUID2(g, buf, CHARS_IN_GUID));
    return buf;
}

TEST(ComGuidText, WritesUpperCaseRegistryForm)
{
    EXPECT_EQ(L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}", text(IID_IPin));
    EXPECT_EQ(L"{73646976-0000-0010-8000-00AA00389B71}", text(MEDIATYPE_Video));
    EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", text(GUID_NULL));
}

TEST(ComGuidText, ShortBufferWritesNothing)
{
    OLECHAR buf[CHARS_IN_GUID];
    buf[0] = L'x';
    EXPECT_EQ(0, StringFromGUID2(IID_IPin, buf, CHARS_IN_GUID - 1));
    EXPECT_EQ(L'x', buf[0]);
    EXPECT_EQ(0, StringFromGUID2(IID_IPin, nullptr, CHARS_IN_GUID));
}

TEST(ComGuidText, RoundTripsThroughClsidFromString)
{
    for (const GUID *g : {&IID_IPin, &MEDIATYPE_Stream, &CLSID_FilterMapper2, &TIME_FORMAT_MEDIA_TIME, &GUID_NULL}) {
        CLSID back;
        ASSERT_EQ(S_OK, CLSIDFromString(text(*g).c_str(), &back));
        EXPECT_TRUE(IsEqualGUID(*g, back));
    }
}

TEST(ComGuidText, ReadsLowerCaseDigits)
{
    CLSID back;
    ASSERT_EQ(S_OK, CLSIDFromString(L"{cda42200-bd88-11d0-bd4e-00a0c911ce86}", &back));
    EXPECT_TRUE(IsEqualGUID(CLSID_FilterMapper2, back));
}

TEST(ComGuidText, AllocatedTextIsTaskMemory)
{
    LPOLESTR s = nullptr;
    ASSERT_EQ(S_OK, StringFromCLSID(CLSID_FilterGraph, &s));
    EXPECT_STREQ(L"{E436EBB3-524F-11CE-9F53-0020AF0BA770}", s);
    CoTaskMemFree(s);
    ASSERT_EQ(S_OK, StringFromIID(IID_IMediaSample2, &s));
    EXPECT_STREQ(L"{36B73884-C2C8-11CF-8B46-00805F6CEF60}", s);
    CoTaskMemFree(s);
    EXPECT_EQ(E_INVALIDARG, StringFromCLSID(CLSID_FilterGraph, nullptr));
}

struct MalformedCase {
    const wchar_t *text;
};

class ComGuidTextMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(ComGuidTextMalformed, IsRefused)
{
    CLSID out = IID_IPin;
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(GetParam().text, &out));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, out));
    IID iid;
    EXPECT_EQ(E_INVALIDARG, IIDFromString(GetParam().text, &iid));
}

INSTANTIATE_TEST_SUITE_P(Texts, ComGuidTextMalformed,
                         testing::Values(MalformedCase{L""}, MalformedCase{L"{"},
                                         MalformedCase{L"56A86891-0AD4-11CE-B03A-0020AF0BA770"},
                                         MalformedCase{L"{56A86891-0AD4-11CE-B03A-0020AF0BA770"},
                                         MalformedCase{L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}x"},
                                         MalformedCase{L"{56A86891+0AD4-11CE-B03A-0020AF0BA770}"},
                                         MalformedCase{L"{56A8689G-0AD4-11CE-B03A-0020AF0BA770}"},
                                         MalformedCase{L"{56A86891-0AD4-11CE-B03A0-020AF0BA770}"},
                                         MalformedCase{L"(56A86891-0AD4-11CE-B03A-0020AF0BA770)"}));

TEST(ComGuidText, NullTextIsTheNullClass)
{
    CLSID out = IID_IPin;
    EXPECT_EQ(S_OK, CLSIDFromString(nullptr, &out));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, out));
    EXPECT_EQ(E_INVALIDARG, CLSIDFromString(L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}", nullptr));
}

} // namespace
