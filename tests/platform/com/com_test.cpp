// COM as the module meets it: CUnknown's QueryInterface and reference rules with
// aggregation, the entry points over this program's class table and server locks,
// GUID text, task memory and BSTRs.
#include "classfactory.h"
#include "combase.h"

#include <olectl.h>
#include <orvexcom.h>
#include <strmif.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

namespace {

DEFINE_GUID(IID_ITestCounter, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x01);
DEFINE_GUID(CLSID_TestObject, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x02);
DEFINE_GUID(CLSID_TestOutOfMemory, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x03);
DEFINE_GUID(CLSID_TestFailingInit, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x04);
DEFINE_GUID(IID_INowhere, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x05);

struct ITestCounter : public IUnknown {};

int g_destroyed = 0;

class CTestObject : public CUnknown, public ITestCounter {
public:
    CTestObject(LPUNKNOWN pUnk, HRESULT *phr) : CUnknown(NAME("Test object"), pUnk, phr) {}
    ~CTestObject() override { ++g_destroyed; }
    static CUnknown *WINAPI Create(LPUNKNOWN pUnk, HRESULT *phr) { return new CTestObject(pUnk, phr); }
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_ITestCounter) return GetInterface(static_cast<ITestCounter *>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
};

// An object that aggregates a CTestObject and exposes its ITestCounter.
class CTestOuter : public CUnknown {
public:
    CTestOuter() : CUnknown(NAME("Test outer"), nullptr)
    {
        HRESULT hr = S_OK;
        CTestObject::Create(GetOwner(), &hr)->NonDelegatingQueryInterface(IID_IUnknown, (void **)&m_pInner);
    }
    ~CTestOuter() override { m_pInner->Release(); }
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_ITestCounter) return m_pInner->QueryInterface(riid, ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    LONG Refs() const { return m_cRef; }
    IUnknown *m_pInner = nullptr; // the inner object's non-delegating unknown
};

CUnknown *WINAPI CreateOutOfMemory(LPUNKNOWN, HRESULT *phr)
{
    *phr = E_OUTOFMEMORY;
    return nullptr;
}

CUnknown *WINAPI CreateFailingInit(LPUNKNOWN pUnk, HRESULT *phr)
{
    CUnknown *obj = new CTestObject(pUnk, phr);
    *phr = E_FAIL;
    return obj;
}

IUnknown *Identity(IUnknown *p)
{
    IUnknown *unk = nullptr;
    EXPECT_EQ(S_OK, p->QueryInterface(IID_IUnknown, (void **)&unk));
    unk->Release();
    return unk;
}

Microsoft::WRL::ComPtr<IClassFactory> Factory(REFCLSID clsid)
{
    Microsoft::WRL::ComPtr<IClassFactory> cf;
    EXPECT_EQ(S_OK, DllGetClassObject(clsid, IID_IClassFactory, &cf));
    return cf;
}

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"Test Object", &CLSID_TestObject, CTestObject::Create, nullptr, nullptr},
    {L"Test Out Of Memory", &CLSID_TestOutOfMemory, CreateOutOfMemory, nullptr, nullptr},
    {L"Test Failing Init", &CLSID_TestFailingInit, CreateFailingInit, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

namespace {

class Com : public testing::Test {
protected:
    void SetUp() override { g_destroyed = 0; }
    void TearDown() override
    {
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "an object leaked";
        EXPECT_EQ(S_OK, DllCanUnloadNow()) << "an object or a lock outlived the test";
    }
    LONG m_objects = CBaseObject::ObjectsActive();
};

TEST_F(Com, QueryInterfaceAndReferenceCountsWithAndWithoutAggregation)
{
    HRESULT hr = S_OK;
    CTestObject *obj = new CTestObject(nullptr, &hr);
    EXPECT_EQ(1u, obj->NonDelegatingAddRef()) << "a new object starts at zero";
    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, obj->NonDelegatingQueryInterface(IID_ITestCounter, (void **)&counter));
    EXPECT_EQ(Identity(counter), obj->GetOwner()) << "one identity for every interface";
    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, counter->QueryInterface(IID_INowhere, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, obj->NonDelegatingQueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, counter->Release());
    EXPECT_EQ(0u, obj->NonDelegatingRelease());
    EXPECT_EQ(1, g_destroyed);

    CTestOuter *outer = new CTestOuter;
    outer->NonDelegatingAddRef();
    ASSERT_EQ(S_OK, outer->NonDelegatingQueryInterface(IID_ITestCounter, (void **)&counter));
    EXPECT_EQ(2, outer->Refs()) << "the inner interface counts on the outer object";
    EXPECT_EQ(Identity(counter), outer->GetOwner()) << "and has the outer identity";
    counter->Release();

    // The factory aggregates on request, handing out the inner unknown only.
    auto cf = Factory(CLSID_TestObject);
    void *pv = nullptr;
    EXPECT_EQ(E_NOINTERFACE, cf->CreateInstance(outer->GetOwner(), IID_ITestCounter, &pv));
    IUnknown *inner = nullptr;
    ASSERT_EQ(S_OK, cf->CreateInstance(outer->GetOwner(), IID_IUnknown, (void **)&inner));
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_ITestCounter, (void **)&counter));
    EXPECT_EQ(2, outer->Refs());
    counter->Release();
    inner->Release();
    cf.Reset();
    outer->NonDelegatingRelease();
    EXPECT_EQ(3, g_destroyed);
}

TEST_F(Com, ModuleEntryPointsAndServerLocks)
{
    void *pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(IID_INowhere, IID_IClassFactory, &pv));
    EXPECT_EQ(nullptr, pv);
    // Creation failures reach the caller and leave no object behind.
    const std::pair<const CLSID *, HRESULT> failures[] = {
        {&CLSID_TestOutOfMemory, E_OUTOFMEMORY}, {&CLSID_TestFailingInit, E_FAIL}, {&CLSID_TestObject, E_NOINTERFACE}};
    for (const auto &[clsid, expected] : failures) {
        pv = reinterpret_cast<void *>(1);
        EXPECT_EQ(expected, Factory(*clsid)->CreateInstance(nullptr, IID_INowhere, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(2, g_destroyed);

    auto cf = Factory(CLSID_TestObject);
    std::string unload;
    auto note = [&] { unload += DllCanUnloadNow() == S_OK ? '1' : '0'; };
    note(); // the class object is alive
    ASSERT_EQ(S_OK, cf->LockServer(TRUE));
    ITestCounter *obj = nullptr;
    ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_ITestCounter, (void **)&obj));
    cf.Reset();
    note(); // an object and a lock
    obj->Release();
    note(); // the lock, counted on the module
    Factory(CLSID_TestObject)->LockServer(FALSE);
    note();
    EXPECT_EQ("0001", unload);
}

TEST(ComRuntime, GuidTextTaskMemoryAndBstrs)
{
    OLECHAR buf[CHARS_IN_GUID];
    EXPECT_EQ(CHARS_IN_GUID, StringFromGUID2(IID_IMediaSample2, buf, CHARS_IN_GUID));
    EXPECT_EQ(std::wstring(L"{36B73884-C2C8-11CF-8B46-00805F6CEF60}"), buf);
    EXPECT_EQ(0, StringFromGUID2(IID_IPin, buf, CHARS_IN_GUID - 1)) << "a short buffer gets nothing";
    for (const wchar_t *bad : {L"", L"56A86891-0AD4-11CE-B03A-0020AF0BA770", L"{56A86891-0AD4-11CE-B03A-0020AF0BA770",
                               L"{56A86891-0AD4-11CE-B03A-0020AF0BA770}x", L"{56A8689G-0AD4-11CE-B03A-0020AF0BA770}",
                               L"{56A86891-0AD4-11CE-B03A0-020AF0BA770}", L"(56A86891-0AD4-11CE-B03A-0020AF0BA770)"}) {
        CLSID out = IID_IPin;
        EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(bad, &out)) << std::wstring(bad).size();
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, out));
    }

    LONG blocks = OrvexTaskMemBlockCount();
    BYTE *a = static_cast<BYTE *>(CoTaskMemAlloc(16));
    a[15] = 0xAB;
    a = static_cast<BYTE *>(CoTaskMemRealloc(a, 4096));
    EXPECT_EQ(0xAB, a[15]);
    EXPECT_EQ(nullptr, CoTaskMemRealloc(CoTaskMemAlloc(0), 0)) << "a zero size frees";
    BSTR s = SysAllocStringLen(L"abcdef", 3);
    EXPECT_EQ(std::wstring(L"abc 3 12"),
              std::wstring(s) + L" " + std::to_wstring(SysStringLen(s)) + L" " + std::to_wstring(SysStringByteLen(s)));
    EXPECT_EQ(nullptr, SysAllocStringLen(L"", 0xFFFFFFFFu)) << "a length whose byte count wraps is refused";
    SysFreeString(s);
    CoTaskMemFree(a);
    EXPECT_EQ(blocks, OrvexTaskMemBlockCount());
}

} // namespace
