// The module loader on a small test module: registration through its
// DllRegisterServer, creation through the registry's InprocServer32,
// unloading when unused, and registrations that point nowhere.
#include <dshow.h>
#include <olectl.h>
#include <winreg.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "graph_fixture.h"
#include "module_loader.h"

namespace {

DEFINE_GUID(CLSID_ModuleTestFilter, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_ModuleTestObject, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_GUID(CLSID_NotInTheModule, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);

const std::string kModule = std::string(ORVEX_BINARY_DIR) + "/bin/graph_test_module.ax";
const std::string kNotAModule = std::string(ORVEX_BINARY_DIR) + "/bin/liborvex_registry.so";

std::wstring wide(const std::string &s)
{
    return std::wstring(s.begin(), s.end());
}

std::wstring guidText(REFGUID g)
{
    WCHAR text[CHARS_IN_GUID];
    StringFromGUID2(g, text, CHARS_IN_GUID);
    return text;
}

typedef HRESULT(STDAPICALLTYPE *ServerFn)();

HRESULT callExport(const char *name)
{
    HMODULE module = LoadLibraryW(wide(kModule).c_str());
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<ServerFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    HRESULT hr = fn ? fn() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

void registerServer(REFCLSID clsid, const std::wstring &path)
{
    HKEY key = nullptr;
    std::wstring keyPath = L"CLSID\\" + guidText(clsid) + L"\\InprocServer32";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, keyPath.c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(key, nullptr, REG_SZ, path.c_str(), 0));
    RegCloseKey(key);
}

class ModuleLoading : public testing::Test {
protected:
    orvex::test::TempRegistry m_registry;
};

TEST_F(ModuleLoading, RegisteredModuleServesItsClassesAndIsUnloadedWhenUnused)
{
    ASSERT_EQ(S_OK, callExport("DllRegisterServer"));
    HKEY key = nullptr;
    std::wstring keyPath = L"CLSID\\" + guidText(CLSID_ModuleTestObject) + L"\\InprocServer32";
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key));
    WCHAR text[512];
    DWORD size = sizeof(text);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size));
    EXPECT_EQ(std::filesystem::canonical(kModule).wstring(), std::filesystem::canonical(text).wstring());
    RegCloseKey(key);

    orvex::graph::ModuleLoader &loader = orvex::graph::ModuleLoader::Instance();
    size_t before = loader.LoadedCount();
    IUnknown *object = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void **>(&object)));
    EXPECT_EQ(before + 1, loader.LoadedCount());
    IBaseFilter *filter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ModuleTestFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void **>(&filter)));
    EXPECT_EQ(before + 1, loader.LoadedCount()) << "loaded once for both classes";

    CoFreeUnusedLibraries();
    EXPECT_EQ(before + 1, loader.LoadedCount()) << "its objects keep it loaded";
    filter->Release();
    object->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(before, loader.LoadedCount());

    ASSERT_EQ(S_OK, callExport("DllUnregisterServer"));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                    reinterpret_cast<void **>(&object)));
}

TEST_F(ModuleLoading, RegistrationPointingNowhereFailsCleanly)
{
    IUnknown *object = reinterpret_cast<IUnknown *>(1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_NotInTheModule, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                    reinterpret_cast<void **>(&object)));
    EXPECT_EQ(nullptr, object);

    registerServer(CLSID_NotInTheModule, L"/no/such/module.ax");
    EXPECT_EQ(CO_E_DLLNOTFOUND, CoCreateInstance(CLSID_NotInTheModule, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                 reinterpret_cast<void **>(&object)));
    registerServer(CLSID_NotInTheModule, wide(kNotAModule));
    EXPECT_EQ(CO_E_ERRORINDLL, CoCreateInstance(CLSID_NotInTheModule, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                reinterpret_cast<void **>(&object)))
        << "a library without DllGetClassObject";
    registerServer(CLSID_NotInTheModule, wide(kModule));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, CoCreateInstance(CLSID_NotInTheModule, nullptr, CLSCTX_INPROC_SERVER,
                                                          IID_IUnknown, reinterpret_cast<void **>(&object)))
        << "the module does not know the class";
    EXPECT_EQ(nullptr, object);
    CoFreeUnusedLibraries();
}

TEST_F(ModuleLoading, LoaderAsksAModuleDirectly)
{
    IClassFactory *factory = nullptr;
    orvex::graph::ModuleLoader &loader = orvex::graph::ModuleLoader::Instance();
    ASSERT_EQ(S_OK, loader.GetClassObject(wide(kModule), CLSID_ModuleTestObject, IID_IClassFactory,
                                          reinterpret_cast<void **>(&factory)));
    IUnknown *object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)));
    object->Release();
    factory->Release();
    void *pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, loader.GetClassObject(wide(kModule), CLSID_ModuleTestObject, IID_IBaseFilter, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(E_POINTER, loader.GetClassObject(wide(kModule), CLSID_ModuleTestObject, IID_IClassFactory, nullptr));
    CoFreeUnusedLibraries();
}

class ModuleGraph : public GraphFixture {};

TEST_F(ModuleGraph, RenderCreatesTheRegisteredModulesFilter)
{
    ASSERT_EQ(S_OK, callExport("DllRegisterServer"));
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    ASSERT_EQ(S_OK, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    IBaseFilter *created = nullptr;
    ASSERT_EQ(S_OK, m_graph->FindFilterByName(L"Module Test Filter", &created));
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, created->GetClassID(&clsid));
    EXPECT_TRUE(clsid == CLSID_ModuleTestFilter);
    created->Release();
}

} // namespace
