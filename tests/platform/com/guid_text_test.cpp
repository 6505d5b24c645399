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

TEST(ComGuidText, WritesTheUpperCaseRegistryFormAndReadsItBack)
{
    const std::pair<const GUID *, const wchar_t *> known[] = {
        {&IID_IPin, L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}"},
        {&MEDIATYPE_Video, L"{73646976-0000-0010-8000-00AA00389B71}"},
        {&IID_IMediaSample2, L"{36B73884-C2C8-11CF-8B46-00805F6CEF60}"},
        {&GUID_NULL, L"{00000000-0000-0000-0000-000000000000}"},
    };
    for (const auto &[guid, expected] : known) {
        EXPECT_EQ(expected, text(*guid));
        CLSID back;
        ASSERT_EQ(S_OK, CLSIDFromString(expected, &back));
        EXPECT_TRUE(IsEqualGUID(*guid, back));
        LPOLESTR s = nullptr;
        ASSERT_EQ(S_OK, StringFromCLSID(*guid, &s)); // task memory
        EXPECT_STREQ(expected, s);
        CoTaskMemFree(s);
    }
    CLSID back;
    ASSERT_EQ(S_OK, CLSIDFromString(L"{cda42200-bd88-11d0-bd4e-00a0c911ce86}", &back)) << "lower case is read";
    EXPECT_TRUE(IsEqualGUID(CLSID_FilterMapper2, back));
    EXPECT_EQ(S_OK, CLSIDFromString(nullptr, &back)) << "no text is the null class";
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, back));

    OLECHAR buf[CHARS_IN_GUID] = {L'x'};
    EXPECT_EQ(0, StringFromGUID2(IID_IPin, buf, CHARS_IN_GUID - 1));
    EXPECT_EQ(L'x', buf[0]) << "a short buffer gets nothing";
    EXPECT_EQ(0, StringFromGUID2(IID_IPin, nullptr, CHARS_IN_GUID));
    EXPECT_EQ(E_INVALIDARG, StringFromCLSID(CLSID_FilterGraph, nullptr));
    EXPECT_EQ(E_INVALIDARG, CLSIDFromString(L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}", nullptr));
}

TEST(ComGuidText, MalformedTextIsRefused)
{
    for (const wchar_t *bad : {L"", L"{", L"56A86891-0AD4-11CE-B03A-0020AF0BA770",
                               L"{56A86891-0AD4-11CE-B03A-0020AF0BA770", L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}x",
                               L"{56A86891+0AD4-11CE-B03A-0020AF0BA770}", L"{56A8689G-0AD4-11CE-B03A-0020AF0BA770}",
                               L"{56A86891-0AD4-11CE-B03A0-020AF0BA770}", L"(56A86891-0AD4-11CE-B03A-0020AF0BA770)"}) {
        CLSID out = IID_IPin;
        EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(bad, &out)) << std::wstring(bad).size();
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, out));
        IID iid;
        EXPECT_EQ(E_INVALIDARG, IIDFromString(bad, &iid));
    }
}

} // namespace
