// The module file as a host meets it: loaded by path, its five exports, its
// class objects, and its registration with the filter mapper.
#include <dshow.h>
#include <olectl.h>
#include <winreg.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"
#include "common/OrvexGuids.h"
#include "support/scratch.h"

namespace {

const std::string kModulePath = std::string(ORVEX_BINARY_DIR) + "/bin/OrvexH264Filter.ax";
DEFINE_GUID(kSubtypeAvc1, 0x31637661, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);

typedef HRESULT(STDAPICALLTYPE *GetClassObjectFn)(REFCLSID, REFIID, void **);
typedef HRESULT(STDAPICALLTYPE *PlainFn)();

std::wstring GuidText(REFGUID g)
{
    WCHAR text[CHARS_IN_GUID];
    StringFromGUID2(g, text, CHARS_IN_GUID);
    return text;
}

class ModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Loaded once and kept: the decoding libraries it brings in keep
        // allocations of their own that unloading would orphan.
        static const HMODULE module = [] {
            const std::wstring path(kModulePath.begin(), kModulePath.end());
            return LoadLibraryW(path.c_str());
        }();
        m_module = module;
        ASSERT_NE(nullptr, m_module);
        m_getClassObject = reinterpret_cast<GetClassObjectFn>(Entry("DllGetClassObject"));
        m_canUnloadNow = reinterpret_cast<PlainFn>(Entry("DllCanUnloadNow"));
        m_register = reinterpret_cast<PlainFn>(Entry("DllRegisterServer"));
        m_unregister = reinterpret_cast<PlainFn>(Entry("DllUnregisterServer"));
        ASSERT_TRUE(m_getClassObject && m_canUnloadNow && m_register && m_unregister);
    }
    void *Entry(const char *name) { return reinterpret_cast<void *>(GetProcAddress(m_module, name)); }

    // A new object of the class, asked for riid.
    template <class T> T *Create(REFCLSID clsid, REFIID riid)
    {
        IClassFactory *factory = nullptr;
        EXPECT_EQ(S_OK, m_getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
        if (!factory) return nullptr;
        T *object = nullptr;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, riid, reinterpret_cast<void **>(&object)));
        factory->Release();
        return object;
    }

    // Names of the registered filters that take the input type, at merit or above.
    std::vector<std::wstring> Find(const GUID &major, const GUID &minor, DWORD merit)
    {
        IFilterMapper2 *mapper = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                         reinterpret_cast<void **>(&mapper)));
        std::vector<std::wstring> names;
        if (!mapper) return names;
        const GUID in[2] = {major, minor};
        IEnumMoniker *monikers = nullptr;
        mapper->EnumMatchingFilters(&monikers, 0, FALSE, merit, TRUE, 1, in, nullptr, nullptr, FALSE, FALSE, 0, nullptr,
                                    nullptr, nullptr);
        IMoniker *moniker = nullptr;
        while (monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag *bag = nullptr;
            if (SUCCEEDED(
                    moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void **>(&bag)))) {
                VARIANT v;
                v.vt = VT_EMPTY;
                if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR) names.push_back(v.bstrVal);
                VariantClear(&v);
                bag->Release();
            }
            moniker->Release();
        }
        if (monikers) monikers->Release();
        mapper->Release();
        return names;
    }

    static bool ClassKeyExists(REFCLSID clsid, const std::wstring &subkey = L"")
    {
        const std::wstring path = L"CLSID\\" + GuidText(clsid) + subkey;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    orvex::test::TempRegistry m_registry;
    HMODULE m_module = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
    PlainFn m_canUnloadNow = nullptr;
    PlainFn m_register = nullptr;
    PlainFn m_unregister = nullptr;
};

TEST_F(ModuleTest, TheModuleExportsTheFiveEntryPointsAndNothingElse)
{
    FILE *nm = popen(("nm -D --defined-only '" + kModulePath + "'").c_str(), "r");
    ASSERT_NE(nullptr, nm);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof(line), nm)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3) names.insert(name);
    }
    pclose(nm);
    EXPECT_EQ((std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllMain", "DllRegisterServer",
                                     "DllUnregisterServer"}),
              names);
}

TEST_F(ModuleTest, ClassObjectsForTheThreeClassesOnly)
{
    IUnknown *unknown = nullptr;
    for (const CLSID *clsid :
         {&CLSID_OrvexMovFileParserFilter, &CLSID_OrvexH264DecodeFilter11, &CLSID_OrvexH264DecodeFilterPropertyPage}) {
        ASSERT_EQ(S_OK, m_getClassObject(*clsid, IID_IUnknown, reinterpret_cast<void **>(&unknown)));
        unknown->Release();
        EXPECT_EQ(E_NOINTERFACE, m_getClassObject(*clsid, IID_IBaseFilter, reinterpret_cast<void **>(&unknown)));
    }
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_getClassObject(IID_IOrvexH264DecoderParameter2, IID_IClassFactory,
                                                          reinterpret_cast<void **>(&unknown)));

    IBaseFilter *parser = Create<IBaseFilter>(CLSID_OrvexMovFileParserFilter, IID_IBaseFilter);
    ASSERT_NE(nullptr, parser);
    parser->Release();
    IOrvexH264DecoderParameter2 *decoder =
        Create<IOrvexH264DecoderParameter2>(CLSID_OrvexH264DecodeFilter11, IID_IOrvexH264DecoderParameter2);
    ASSERT_NE(nullptr, decoder);
    EXPECT_EQ(0, decoder->GetOutputScalingMode());

    // The page, made by the module, shows its own dialog and title.
    IPropertyPage *page = Create<IPropertyPage>(CLSID_OrvexH264DecodeFilterPropertyPage, IID_IPropertyPage);
    ASSERT_NE(nullptr, page);
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    EXPECT_STREQ(L"Decode Parameters", info.pszTitle);
    EXPECT_EQ(195 * 6 / 4, info.size.cx);
    CoTaskMemFree(info.pszTitle);
    IUnknown *object = decoder;
    ASSERT_EQ(S_OK, page->SetObjects(1, &object));
    RECT rc{0, 0, 300, 200};
    EXPECT_EQ(S_OK, page->Activate(nullptr, &rc, FALSE));
    EXPECT_EQ(S_OK, page->Deactivate());
    page->Release();
    decoder->Release();
}

TEST_F(ModuleTest, UnloadableOnlyWithoutLiveObjectsOrLocks)
{
    EXPECT_EQ(S_OK, m_canUnloadNow());
    IBaseFilter *decoder = Create<IBaseFilter>(CLSID_OrvexH264DecodeFilter11, IID_IBaseFilter);
    ASSERT_NE(nullptr, decoder);
    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, decoder->EnumPins(&pins));
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, pins->Next(1, &pin, nullptr));
    pins->Release();
    decoder->Release();
    EXPECT_EQ(S_FALSE, m_canUnloadNow()) << "a pin keeps its filter";
    pin->Release();
    EXPECT_EQ(S_OK, m_canUnloadNow());

    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, m_getClassObject(CLSID_OrvexH264DecodeFilterPropertyPage, IID_IClassFactory,
                                     reinterpret_cast<void **>(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, m_canUnloadNow());
    ASSERT_EQ(S_OK, m_getClassObject(CLSID_OrvexH264DecodeFilterPropertyPage, IID_IClassFactory,
                                     reinterpret_cast<void **>(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_OK, m_canUnloadNow());
}

TEST_F(ModuleTest, RegistrationPublishesBothFiltersAndThePageClass)
{
    ASSERT_EQ(S_OK, m_register());
    const DWORD merit = 0x00600001;
    EXPECT_EQ(std::vector<std::wstring>{L"Orvex Mov File Parser Filter"}, Find(MEDIATYPE_Stream, GUID_NULL, merit));
    EXPECT_EQ(std::vector<std::wstring>{L"Orvex H.264 Decode Filter 1.1"}, Find(MEDIATYPE_Video, kSubtypeAvc1, merit));
    EXPECT_TRUE(Find(MEDIATYPE_Video, kSubtypeAvc1, merit + 1).empty());
    EXPECT_TRUE(Find(MEDIATYPE_Video, MEDIASUBTYPE_YV12, 0).empty()) << "the decoder takes avc1 only";
    for (const CLSID *clsid :
         {&CLSID_OrvexMovFileParserFilter, &CLSID_OrvexH264DecodeFilter11, &CLSID_OrvexH264DecodeFilterPropertyPage})
        EXPECT_TRUE(ClassKeyExists(*clsid, L"\\InprocServer32"));
    const std::string file = m_registry.read();
    EXPECT_NE(std::string::npos, file.find("Orvex H.264 Decode Filter 1.1 (CFactoryTemplate)"));
    EXPECT_NE(std::string::npos, file.find("Orvex H.264 Decode Filter PropertyPage"));
    // The page is a COM class only: no category lists it.
    auto instance = [](REFCLSID clsid) {
        const std::wstring text = GuidText(clsid);
        return "Instance\\" + std::string(text.begin(), text.end());
    };
    EXPECT_NE(std::string::npos, file.find(instance(CLSID_OrvexH264DecodeFilter11)));
    EXPECT_EQ(std::string::npos, file.find(instance(CLSID_OrvexH264DecodeFilterPropertyPage)));

    ASSERT_EQ(S_OK, m_register()) << "registering again replaces the registration";
    EXPECT_EQ(1u, Find(MEDIATYPE_Stream, GUID_NULL, merit).size());

    ASSERT_EQ(S_OK, m_unregister());
    EXPECT_TRUE(Find(MEDIATYPE_Stream, GUID_NULL, 0).empty());
    EXPECT_TRUE(Find(MEDIATYPE_Video, kSubtypeAvc1, 0).empty());
    for (const CLSID *clsid :
         {&CLSID_OrvexMovFileParserFilter, &CLSID_OrvexH264DecodeFilter11, &CLSID_OrvexH264DecodeFilterPropertyPage})
        EXPECT_FALSE(ClassKeyExists(*clsid));
}

} // namespace
