// The module file as a host meets it: loaded by path, its five exports, its
// class objects, and its registration with the filter mapper.
#include <dshow.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"
#include "common/OrvexGuids.h"
#include "support/scratch.h"

namespace {

using Microsoft::WRL::ComPtr;

const std::string kModulePath = std::string(ORVEX_BINARY_DIR) + "/bin/OrvexH264Filter.ax";
DEFINE_GUID(kSubtypeAvc1, 0x31637661, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);
const CLSID *const kClasses[] = {&CLSID_OrvexMovFileParserFilter, &CLSID_OrvexH264DecodeFilter11,
                                 &CLSID_OrvexH264DecodeFilterPropertyPage};

// Loaded once and kept: the decoding libraries it brings in keep allocations
// of their own that unloading would orphan.
HMODULE Module()
{
    static const HMODULE module = LoadLibraryW(std::wstring(kModulePath.begin(), kModulePath.end()).c_str());
    return module;
}
template <class F> F Entry(const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(Module(), name)));
}
using GetClassObjectFn = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
using PlainFn = HRESULT(STDAPICALLTYPE *)();

// "name@merit" of every registered filter taking major/minor at merit or above, one a line.
std::string Find(const GUID &major, const GUID &minor, DWORD merit)
{
    ComPtr<IFilterMapper2> mapper;
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                     reinterpret_cast<void **>(mapper.GetAddressOf()));
    const GUID in[2] = {major, minor};
    ComPtr<IEnumMoniker> monikers;
    mapper->EnumMatchingFilters(monikers.GetAddressOf(), 0, FALSE, merit, TRUE, 1, in, nullptr, nullptr, FALSE, FALSE,
                                0, nullptr, nullptr, nullptr);
    std::string names;
    for (ComPtr<IMoniker> moniker; monikers && monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        ComPtr<IPropertyBag> bag;
        VARIANT v{};
        moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void **>(bag.GetAddressOf()));
        if (bag && SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)))
            names += std::string(v.bstrVal, v.bstrVal + wcslen(v.bstrVal)) + "\n";
        VariantClear(&v);
    }
    return names;
}

TEST(Module, ExportsFiveEntryPointsAndMakesItsThreeClassesOnly)
{
    FILE *nm = popen(("nm -D --defined-only '" + kModulePath + "' | awk '{print $3}'").c_str(), "r");
    std::string names;
    for (char line[400]; std::fgets(line, sizeof line, nm);)
        names += line;
    pclose(nm);
    EXPECT_EQ("DllCanUnloadNow\nDllGetClassObject\nDllMain\nDllRegisterServer\nDllUnregisterServer\n", names);

    const auto getClassObject = Entry<GetClassObjectFn>("DllGetClassObject");
    const auto canUnloadNow = Entry<PlainFn>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnloadNow);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IOrvexH264DecoderParameter2, IID_IClassFactory,
                                                        reinterpret_cast<void **>(factory.GetAddressOf())));
    for (const CLSID *clsid : kClasses) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(E_NOINTERFACE,
                  getClassObject(*clsid, IID_IBaseFilter, reinterpret_cast<void **>(object.GetAddressOf())));
        ASSERT_EQ(S_OK, getClassObject(*clsid, IID_IClassFactory,
                                       reinterpret_cast<void **>(factory.ReleaseAndGetAddressOf())));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown,
                                                reinterpret_cast<void **>(object.ReleaseAndGetAddressOf())));
        factory->LockServer(TRUE);
        factory.Reset();
        object.Reset();
        EXPECT_EQ(S_FALSE, canUnloadNow()) << "a locked server stays";
        ASSERT_EQ(S_OK, getClassObject(*clsid, IID_IClassFactory,
                                       reinterpret_cast<void **>(factory.ReleaseAndGetAddressOf())));
        factory->LockServer(FALSE);
        factory.Reset();
        EXPECT_EQ(S_OK, canUnloadNow());
    }
}

TEST(Module, RegistersBothFiltersAboveNormalMeritAndUnregistersThem)
{
    orvex::test::TempRegistry registry;
    const DWORD merit = MERIT_NORMAL + 1;
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllRegisterServer")());
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllRegisterServer")()) << "registering again replaces the registration";
    EXPECT_EQ("Orvex Mov File Parser Filter\n", Find(MEDIATYPE_Stream, GUID_NULL, merit));
    EXPECT_EQ("Orvex H.264 Decode Filter 1.1\n", Find(MEDIATYPE_Video, kSubtypeAvc1, merit));
    EXPECT_EQ("", Find(MEDIATYPE_Video, kSubtypeAvc1, merit + 1));
    EXPECT_EQ("", Find(MEDIATYPE_Video, MEDIASUBTYPE_YV12, 0)) << "the decoder takes avc1 only";
    EXPECT_NE(std::string::npos, registry.read().find("Orvex H.264 Decode Filter PropertyPage"));
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllUnregisterServer")());
    EXPECT_EQ("", Find(MEDIATYPE_Stream, GUID_NULL, 0) + Find(MEDIATYPE_Video, kSubtypeAvc1, 0));
}

} // namespace
