// The filter mapper over the registry: what registration writes, what the
// searches find (types, wildcards, merit, direction), the monikers and their
// property bags, the version 1 interface, and registrations that are damaged.
#include <dshow.h>
#include <winreg.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dllsetup.h"
#include "support/scratch.h"

namespace {

DEFINE_GUID(CLSID_MapperTestA, 0x11111111, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a);
DEFINE_GUID(CLSID_MapperTestB, 0x11111111, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b);
DEFINE_GUID(CLSID_MapperTestC, 0x11111111, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0c);
DEFINE_GUID(CLSID_MapperCategory, 0x11111111, 0x0000, 0x0000, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xca);
DEFINE_GUID(MEDIASUBTYPE_Avc1, 0x31637661, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);

std::wstring guidText(REFGUID g)
{
    WCHAR text[CHARS_IN_GUID];
    StringFromGUID2(g, text, CHARS_IN_GUID);
    return text;
}

class FilterMapper : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                         reinterpret_cast<void **>(&m_mapper)));
    }
    void TearDown() override { EXPECT_EQ(0u, m_mapper->Release()); }

    // One input and one output pin of the given types.
    HRESULT registerFilter(REFCLSID clsid, const wchar_t *name, DWORD merit, std::vector<REGPINTYPES> in,
                           std::vector<REGPINTYPES> out, DWORD inFlags = 0, const CLSID *category = nullptr)
    {
        REGFILTERPINS2 pins[2] = {
            {inFlags, 1, static_cast<UINT>(in.size()), in.data(), 0, nullptr, nullptr},
            {REG_PINFLAG_B_OUTPUT, 1, static_cast<UINT>(out.size()), out.data(), 0, nullptr, nullptr}};
        REGFILTER2 rf2{};
        rf2.dwVersion = 2;
        rf2.dwMerit = merit;
        rf2.cPins2 = 2;
        rf2.rgPins2 = pins;
        return m_mapper->RegisterFilter(clsid, name, nullptr, category, nullptr, &rf2);
    }

    // Names of the filters found for an input type (and output type).
    std::vector<std::wstring> find(const GUID &inMajor, const GUID &inMinor, DWORD merit = 0, BOOL exact = FALSE,
                                   const GUID *outMajor = nullptr, const GUID *outMinor = nullptr, BOOL render = FALSE)
    {
        GUID in[2] = {inMajor, inMinor};
        GUID out[2] = {outMajor ? *outMajor : GUID_NULL, outMinor ? *outMinor : GUID_NULL};
        IEnumMoniker *monikers = nullptr;
        EXPECT_EQ(S_OK, m_mapper->EnumMatchingFilters(&monikers, 0, exact, merit, TRUE, 1, in, nullptr, nullptr, render,
                                                      outMajor != nullptr, outMajor ? 1 : 0, out, nullptr, nullptr));
        std::vector<std::wstring> names;
        if (!monikers) return names;
        IMoniker *moniker = nullptr;
        while (monikers->Next(1, &moniker, nullptr) == S_OK) {
            names.push_back(property(moniker, L"FriendlyName"));
            moniker->Release();
        }
        monikers->Release();
        return names;
    }

    static std::wstring property(IMoniker *moniker, const wchar_t *name)
    {
        IPropertyBag *bag = nullptr;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void **>(&bag))))
            return L"?";
        VARIANT v;
        v.vt = VT_EMPTY;
        std::wstring text = SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR ? v.bstrVal : L"?";
        VariantClear(&v);
        bag->Release();
        return text;
    }

    orvex::test::TempRegistry m_registry;
    IFilterMapper2 *m_mapper = nullptr;
};

TEST_F(FilterMapper, RegistrationWritesTheCategoryInstanceKey)
{
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestA, L"Parser", 0x00600001, {{&MEDIATYPE_Stream, nullptr}},
                                   {{&MEDIATYPE_Video, &MEDIASUBTYPE_Avc1}}));
    std::wstring path =
        L"CLSID\\" + guidText(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + guidText(CLSID_MapperTestA);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key));
    WCHAR text[64];
    DWORD size = sizeof(text);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, L"FriendlyName", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size));
    EXPECT_STREQ(L"Parser", text);
    size = sizeof(text);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"CLSID", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size));
    EXPECT_EQ(guidText(CLSID_MapperTestA), text);
    RegCloseKey(key);
    std::string file = m_registry.read();
    EXPECT_NE(std::string::npos, file.find("merit 0x00600001\\npin \\\"\\\" flags 0x00000000 instances 1\\ntype "
                                           "{E436EB83-524F-11CE-9F53-0020AF0BA770} "
                                           "{00000000-0000-0000-0000-000000000000}\\n"))
        << file;
}

TEST_F(FilterMapper, SearchMatchesTypesWithWildcardsAndOrdersByMerit)
{
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestA, L"Stream parser", 0x00600001, {{&MEDIATYPE_Stream, nullptr}},
                                   {{&MEDIATYPE_Video, &MEDIASUBTYPE_Avc1}}));
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestB, L"Avc decoder", 0x00600001,
                                   {{&MEDIATYPE_Video, &MEDIASUBTYPE_Avc1}}, {{&MEDIATYPE_Video, nullptr}}));
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestC, L"Better avc decoder", 0x00800000,
                                   {{&MEDIATYPE_Video, &MEDIASUBTYPE_Avc1}}, {{&MEDIATYPE_Video, &MEDIASUBTYPE_YV12}}));

    EXPECT_EQ(std::vector<std::wstring>{L"Stream parser"}, find(MEDIATYPE_Stream, GUID_NULL));
    EXPECT_EQ(std::vector<std::wstring>{L"Stream parser"}, find(MEDIATYPE_Stream, MEDIASUBTYPE_Avi))
        << "a registered null subtype takes any subtype";
    EXPECT_TRUE(find(MEDIATYPE_Stream, MEDIASUBTYPE_Avi, 0, TRUE).empty()) << "but not in an exact search";
    EXPECT_EQ((std::vector<std::wstring>{L"Better avc decoder", L"Avc decoder"}),
              find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1));
    EXPECT_EQ((std::vector<std::wstring>{L"Better avc decoder", L"Avc decoder", L"Stream parser"}),
              find(GUID_NULL, GUID_NULL))
        << "a requested null type takes any filter with an input";
    EXPECT_EQ(std::vector<std::wstring>{L"Better avc decoder"}, find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0x00600002));
    EXPECT_EQ((std::vector<std::wstring>{L"Better avc decoder", L"Avc decoder"}),
              find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0x00600001))
        << "the minimum merit itself is included";
    EXPECT_EQ((std::vector<std::wstring>{L"Better avc decoder", L"Avc decoder"}),
              find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0, FALSE, &MEDIATYPE_Video, &MEDIASUBTYPE_YV12))
        << "an output registered for any video subtype gives YV12 too";
    EXPECT_EQ(std::vector<std::wstring>{L"Better avc decoder"},
              find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0, TRUE, &MEDIATYPE_Video, &MEDIASUBTYPE_YV12));
    EXPECT_TRUE(find(MEDIATYPE_Audio, GUID_NULL).empty());
    EXPECT_TRUE(find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0, FALSE, nullptr, nullptr, TRUE).empty())
        << "no input pin is rendered";
}

TEST_F(FilterMapper, MonikerCreatesTheFilterAndDescribesIt)
{
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestA, L"Described", 0x00600000, {{&MEDIATYPE_Stream, nullptr}}, {}));
    GUID in[2] = {MEDIATYPE_Stream, GUID_NULL};
    IEnumMoniker *monikers = nullptr;
    ASSERT_EQ(S_OK, m_mapper->EnumMatchingFilters(&monikers, 0, FALSE, 0, TRUE, 1, in, nullptr, nullptr, FALSE, FALSE,
                                                  0, nullptr, nullptr, nullptr));
    IMoniker *moniker = nullptr;
    ASSERT_EQ(S_OK, monikers->Next(1, &moniker, nullptr));
    EXPECT_EQ(guidText(CLSID_MapperTestA), property(moniker, L"CLSID"));
    EXPECT_EQ(0u, property(moniker, L"FilterData").find(L"merit 0x00600000\n"));
    IPropertyBag *bag = nullptr;
    ASSERT_EQ(S_OK, moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void **>(&bag)));
    VARIANT v;
    v.vt = VT_EMPTY;
    EXPECT_EQ(E_INVALIDARG, bag->Read(L"NoSuchProperty", &v, nullptr));
    v.vt = VT_I4;
    EXPECT_EQ(E_FAIL, bag->Read(L"FriendlyName", &v, nullptr)) << "only text is offered";
    bag->Release();

    LPOLESTR display = nullptr;
    ASSERT_EQ(S_OK, moniker->GetDisplayName(nullptr, nullptr, &display));
    EXPECT_EQ(L"@device:sw:" + guidText(CLSID_LegacyAmFilterCategory) + L"\\" + guidText(CLSID_MapperTestA), display);
    CoTaskMemFree(display);
    EXPECT_EQ(S_OK, moniker->IsEqual(moniker));
    IBaseFilter *filter = reinterpret_cast<IBaseFilter *>(1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void **>(&filter)))
        << "registered with the mapper, but no COM class behind it";
    EXPECT_EQ(nullptr, filter);
    moniker->Release();
    EXPECT_EQ(S_FALSE, monikers->Next(1, &moniker, nullptr));
    EXPECT_EQ(S_OK, monikers->Reset());
    IEnumMoniker *clone = nullptr;
    ASSERT_EQ(S_OK, monikers->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Skip(1));
    EXPECT_EQ(S_FALSE, clone->Skip(1));
    clone->Release();
    monikers->Release();
}

TEST_F(FilterMapper, UnregisterTellsAFilterThatWasNeverThere)
{
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestA, L"Gone soon", 0x00600000, {{&MEDIATYPE_Stream, nullptr}}, {}));
    EXPECT_EQ(S_OK, m_mapper->UnregisterFilter(nullptr, nullptr, CLSID_MapperTestA));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              m_mapper->UnregisterFilter(nullptr, nullptr, CLSID_MapperTestA));
    EXPECT_TRUE(find(MEDIATYPE_Stream, GUID_NULL).empty());
}

TEST_F(FilterMapper, CategoriesAndInstanceNamesAreKept)
{
    ASSERT_EQ(S_OK, m_mapper->CreateCategory(CLSID_MapperCategory, MERIT_NORMAL, L"Test filters"));
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestB, L"In a category", 0x00600000, {{&MEDIATYPE_Audio, nullptr}}, {},
                                   0, &CLSID_MapperCategory));
    EXPECT_EQ(std::vector<std::wstring>{L"In a category"}, find(MEDIATYPE_Audio, MEDIASUBTYPE_PCM));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_mapper->UnregisterFilter(nullptr, nullptr, CLSID_MapperTestB))
        << "it lives in its own category";
    EXPECT_EQ(S_OK, m_mapper->UnregisterFilter(&CLSID_MapperCategory, nullptr, CLSID_MapperTestB));

    REGFILTER2 none{};
    none.dwVersion = 2;
    ASSERT_EQ(S_OK, m_mapper->RegisterFilter(CLSID_MapperTestC, L"Named", nullptr, nullptr, L"instance one", &none));
    EXPECT_EQ(S_OK, m_mapper->UnregisterFilter(nullptr, L"instance one", CLSID_MapperTestC));
    EXPECT_EQ(E_INVALIDARG, m_mapper->RegisterFilter(CLSID_MapperTestC, L"Bad", nullptr, nullptr, L"a\\b", &none));
}

TEST_F(FilterMapper, BadRecordsAreRefused)
{
    REGFILTER2 rf2{};
    rf2.dwVersion = 3;
    EXPECT_EQ(E_INVALIDARG, m_mapper->RegisterFilter(CLSID_MapperTestA, L"x", nullptr, nullptr, nullptr, &rf2));
    rf2.dwVersion = 2;
    rf2.cPins2 = 1;
    rf2.rgPins2 = nullptr;
    EXPECT_EQ(E_POINTER, m_mapper->RegisterFilter(CLSID_MapperTestA, L"x", nullptr, nullptr, nullptr, &rf2));
    REGFILTERPINS2 pin{0, 1, 2, nullptr, 0, nullptr, nullptr};
    rf2.rgPins2 = &pin;
    EXPECT_EQ(E_POINTER, m_mapper->RegisterFilter(CLSID_MapperTestA, L"x", nullptr, nullptr, nullptr, &rf2));
    EXPECT_EQ(E_POINTER, m_mapper->RegisterFilter(CLSID_MapperTestA, L"x", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, m_mapper->RegisterFilter(CLSID_MapperTestA, nullptr, nullptr, nullptr, nullptr, &rf2));
    REGFILTERPINS named{const_cast<LPWSTR>(L"two\nlines"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 0, nullptr};
    rf2.dwVersion = 1;
    rf2.cPins = 1;
    rf2.rgPins = &named;
    EXPECT_EQ(E_INVALIDARG, m_mapper->RegisterFilter(CLSID_MapperTestA, L"x", nullptr, nullptr, nullptr, &rf2));
    EXPECT_EQ("", m_registry.read()) << "nothing was written";
}

struct DamagedData {
    const char *what;
    const wchar_t *text;
};

class DamagedRegistrations : public FilterMapper, public testing::WithParamInterface<DamagedData> {};

TEST_P(DamagedRegistrations, AreLeftOutOfSearches)
{
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestA, L"Damaged", 0x00600000, {{&MEDIATYPE_Stream, nullptr}}, {}));
    ASSERT_EQ(S_OK, registerFilter(CLSID_MapperTestB, L"Intact", 0x00600000, {{&MEDIATYPE_Stream, nullptr}}, {}));
    std::wstring path =
        L"CLSID\\" + guidText(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + guidText(CLSID_MapperTestA);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_WRITE, &key));
    std::wstring text = GetParam().text;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"FilterData", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
    RegCloseKey(key);
    EXPECT_EQ(std::vector<std::wstring>{L"Intact"}, find(MEDIATYPE_Stream, GUID_NULL));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DamagedRegistrations,
    testing::Values(DamagedData{"empty", L""}, DamagedData{"no_merit", L"pin \"\" flags 0x0 instances 0\n"},
                    DamagedData{"type_before_pin", L"merit 0x00600000\ntype {E436EB83-524F-11CE-9F53-0020AF0BA770} "
                                                   L"{00000000-0000-0000-0000-000000000000}\n"},
                    DamagedData{"bad_guid", L"merit 0x00600000\npin \"\" flags 0x00000000 instances 0\ntype {E436EB83} "
                                            L"{00000000-0000-0000-0000-000000000000}\n"},
                    DamagedData{"merit_too_large", L"merit 0x100000000\n"},
                    DamagedData{"unterminated_name", L"merit 0x1\npin \"abc flags 0x0 instances 0\n"},
                    DamagedData{"unknown_word", L"merit 0x1\nfilter something\n"},
                    DamagedData{"two_merits", L"merit 0x1\nmerit 0x2\n"}),
    [](const testing::TestParamInfo<DamagedData> &info) { return std::string(info.param.what); });

TEST_F(FilterMapper, VersionOneInterfaceSharesTheRegistrations)
{
    IFilterMapper *v1 = nullptr;
    ASSERT_EQ(S_OK, m_mapper->QueryInterface(IID_IFilterMapper, reinterpret_cast<void **>(&v1)));
    ASSERT_EQ(S_OK, v1->RegisterFilter(CLSID_MapperTestA, L"Old style", MERIT_NORMAL));
    ASSERT_EQ(S_OK, v1->RegisterPin(CLSID_MapperTestA, L"Input", FALSE, FALSE, FALSE, FALSE, GUID_NULL, nullptr));
    ASSERT_EQ(S_OK, v1->RegisterPinType(CLSID_MapperTestA, L"Input", MEDIATYPE_Audio, MEDIASUBTYPE_PCM));
    EXPECT_EQ(VFW_E_NOT_FOUND, v1->RegisterPinType(CLSID_MapperTestA, L"Missing", MEDIATYPE_Audio, GUID_NULL));
    EXPECT_EQ(VFW_E_NOT_FOUND,
              v1->RegisterPin(CLSID_MapperTestB, L"Input", FALSE, FALSE, FALSE, FALSE, GUID_NULL, nullptr));
    EXPECT_EQ(std::vector<std::wstring>{L"Old style"}, find(MEDIATYPE_Audio, MEDIASUBTYPE_PCM));

    IEnumRegFilters *filters = nullptr;
    ASSERT_EQ(S_OK, v1->EnumMatchingFilters(&filters, 0, TRUE, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FALSE, FALSE,
                                            GUID_NULL, GUID_NULL));
    REGFILTER *found = nullptr;
    ASSERT_EQ(S_OK, filters->Next(1, &found, nullptr));
    EXPECT_TRUE(found->Clsid == CLSID_MapperTestA);
    EXPECT_STREQ(L"Old style", found->Name);
    CoTaskMemFree(found);
    EXPECT_EQ(S_FALSE, filters->Next(1, &found, nullptr));
    filters->Release();

    EXPECT_EQ(S_OK, v1->UnregisterPin(CLSID_MapperTestA, L"Input"));
    EXPECT_TRUE(find(MEDIATYPE_Audio, MEDIASUBTYPE_PCM).empty());
    EXPECT_EQ(S_OK, v1->UnregisterFilter(CLSID_MapperTestA));
    EXPECT_EQ(E_NOTIMPL, v1->RegisterFilterInstance(CLSID_MapperTestA, L"x", nullptr));
    v1->Release();
}

TEST_F(FilterMapper, ModuleSetupRecordsRegisterThroughTheMapper)
{
    const REGPINTYPES inType = {&MEDIATYPE_Video, &MEDIASUBTYPE_Avc1};
    const REGPINTYPES outType = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
    const AMOVIESETUP_PIN pins[] = {
        {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &GUID_NULL, nullptr, 1, &inType},
        {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, nullptr, 1, &outType},
    };
    const AMOVIESETUP_FILTER setup = {&CLSID_MapperTestB, L"Setup decoder", 0x00600001, 2, pins};
    ASSERT_EQ(S_OK, AMovieSetupRegisterFilter2(&setup, m_mapper, TRUE));
    ASSERT_EQ(S_OK, AMovieSetupRegisterFilter2(&setup, m_mapper, TRUE)) << "registering again replaces it";
    EXPECT_EQ(std::vector<std::wstring>{L"Setup decoder"}, find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1, 0x00600001));
    EXPECT_NE(std::string::npos, m_registry.read().find("pin \\\"Input\\\" flags 0x00000000"))
        << "version 1 pins keep their names";
    ASSERT_EQ(S_OK, AMovieSetupRegisterFilter2(&setup, m_mapper, FALSE));
    ASSERT_EQ(S_OK, AMovieSetupRegisterFilter2(&setup, m_mapper, FALSE)) << "a missing registration is no failure";
    EXPECT_TRUE(find(MEDIATYPE_Video, MEDIASUBTYPE_Avc1).empty());
}

} // namespace
