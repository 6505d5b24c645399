// The module file as a host meets it: loaded by path, its five exports, its
// class objects, and its registration with the filter mapper (the server's
// lock count is the COM layer's, tested with it).
#include <dshow.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"
#include "common/OrvexGuids.h"
#include "support/scratch.h"

namespace {

using Microsoft::WRL::ComPtr;

const std::string kModulePath = std::string(ORVEX_BINARY_DIR) + "/bin/OrvexH264Filter.ax";
DEFINE_GUID(kSubtypeAvc1, 0x31637661, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71);

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

// The friendly names of the filters registered for major/minor at merit or above, one a line.
std::string Find(const GUID &major, const GUID &minor, DWORD merit)
{
    ComPtr<IFilterMapper2> mapper;
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, &mapper);
    const GUID in[2] = {major, minor};
    ComPtr<IEnumMoniker> monikers;
    mapper->EnumMatchingFilters(&monikers, 0, FALSE, merit, TRUE, 1, in, nullptr, nullptr, FALSE, FALSE, 0, nullptr,
                                nullptr, nullptr);
    std::string names;
    for (ComPtr<IMoniker> moniker; monikers && monikers->Next(1, &moniker, nullptr) == S_OK;) {
        ComPtr<IPropertyBag> bag;
        VARIANT v{};
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, &bag)) &&
            SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)))
            names += std::string(v.bstrVal, v.bstrVal + wcslen(v.bstrVal)) + "\n";
        VariantClear(&v);
    }
    return names;
}

TEST(Module, ExportsFiveEntryPointsMakesItsThreeClassesAndRegistersBothFilters)
{
    EXPECT_EQ("DllCanUnloadNow\nDllGetClassObject\nDllMain\nDllRegisterServer\nDllUnregisterServer\n",
              orvex::test::Run({"sh", "-c", "nm -D --defined-only '" + kModulePath + "' | awk '{print $3}'"}).out);
    // Per class id: its factory, a filter instead, an instance; none outlives its references.
    const auto getClassObject = Entry<GetClassObjectFn>("DllGetClassObject");
    const auto hex = [](HRESULT hr) { return (std::ostringstream() << std::hex << unsigned(hr) << " ").str(); };
    std::string results;
    ComPtr<IClassFactory> factory;
    for (const CLSID *clsid : {&IID_IOrvexH264DecoderParameter2, &CLSID_OrvexMovFileParserFilter,
                               &CLSID_OrvexH264DecodeFilter11, &CLSID_OrvexH264DecodeFilterPropertyPage}) {
        ComPtr<IUnknown> object;
        results += hex(getClassObject(*clsid, IID_IClassFactory, &factory));
        results += hex(getClassObject(*clsid, IID_IBaseFilter, &object));
        if (factory) results += hex(factory->CreateInstance(nullptr, IID_IUnknown, &object));
    }
    factory.Reset();
    results += hex(Entry<PlainFn>("DllCanUnloadNow")());
    EXPECT_EQ("80040111 80004002 0 80004002 0 0 80004002 0 0 80004002 0 0 ", results);

    orvex::test::TempRegistry registry;
    const DWORD merit = MERIT_NORMAL + 1;
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllRegisterServer")());
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllRegisterServer")()) << "registering again replaces the registration";
    // Above normal merit, not higher; the decoder takes avc1 only.
    EXPECT_EQ("Orvex Mov File Parser Filter\n|Orvex H.264 Decode Filter 1.1\n||",
              Find(MEDIATYPE_Stream, GUID_NULL, merit) + "|" + Find(MEDIATYPE_Video, kSubtypeAvc1, merit) + "|" +
                  Find(MEDIATYPE_Video, kSubtypeAvc1, merit + 1) + "|" + Find(MEDIATYPE_Video, MEDIASUBTYPE_YV12, 0));
    EXPECT_NE(std::string::npos, registry.read().find("Orvex H.264 Decode Filter PropertyPage"));
    ASSERT_EQ(S_OK, Entry<PlainFn>("DllUnregisterServer")());
    EXPECT_EQ("", Find(MEDIATYPE_Stream, GUID_NULL, 0) + Find(MEDIATYPE_Video, kSubtypeAvc1, 0));
}

} // namespace
