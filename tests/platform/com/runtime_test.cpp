// The COM library's per-thread initialisation, task memory, BSTRs and VARIANTs.
#include <objbase.h>
#include <orvexcom.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

TEST(ComInitialize, CountsPerThreadAndRefusesAnotherModel)
{
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE));
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    HRESULT other = E_FAIL;
    std::thread([&other] {
        other = CoInitialize(nullptr);
        CoUninitialize();
    }).join();
    EXPECT_EQ(S_OK, other) << "another thread starts uninitialised";
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(S_OK, CoInitialize(nullptr)) << "fully uninitialised after two calls";
    CoUninitialize();
    CoUninitialize(); // one too many is harmless
    EXPECT_EQ(E_INVALIDARG, CoInitializeEx(reinterpret_cast<void *>(1), COINIT_MULTITHREADED));
}

TEST(ComTaskMemory, CountsLiveBlocks)
{
    LONG before = OrvexTaskMemBlockCount();
    void *a = CoTaskMemAlloc(16);
    void *b = CoTaskMemAlloc(0);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(before + 2, OrvexTaskMemBlockCount());
    std::memset(a, 0xAB, 16);
    a = CoTaskMemRealloc(a, 4096);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(0xAB, static_cast<BYTE *>(a)[15]);
    EXPECT_EQ(before + 2, OrvexTaskMemBlockCount());
    EXPECT_EQ(nullptr, CoTaskMemRealloc(b, 0)) << "a zero size frees";
    CoTaskMemFree(a);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(before, OrvexTaskMemBlockCount());
    void *c = CoTaskMemRealloc(nullptr, 8);
    EXPECT_EQ(before + 1, OrvexTaskMemBlockCount());
    CoTaskMemFree(c);
}

TEST(ComBstr, KeepsByteLengthBeforeTheText)
{
    BSTR s = SysAllocString(L"Orvex");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(5u, SysStringLen(s));
    EXPECT_EQ(5u * sizeof(OLECHAR), SysStringByteLen(s));
    EXPECT_STREQ(L"Orvex", s);
    SysFreeString(s);

    BSTR part = SysAllocStringLen(L"abcdef", 3);
    EXPECT_STREQ(L"abc", part);
    SysFreeString(part);
    BSTR zeros = SysAllocStringLen(nullptr, 4);
    EXPECT_EQ(4u, SysStringLen(zeros));
    EXPECT_EQ(0, zeros[0]);
    EXPECT_EQ(0, zeros[4]);
    SysFreeString(zeros);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    SysFreeString(nullptr);
    EXPECT_EQ(nullptr, SysAllocStringLen(L"", 0xFFFFFFFFu)) << "a length whose byte count wraps is refused";
}

struct CountingUnknown : IUnknown {
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(ComVariant, CopiesOwnStringsAndReferences)
{
    LONG before = OrvexTaskMemBlockCount();
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(L"Merit");
    ASSERT_EQ(S_OK, VariantCopy(&b, &a));
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_STREQ(L"Merit", b.bstrVal);
    EXPECT_EQ(S_OK, VariantClear(&a));
    EXPECT_EQ(VT_EMPTY, a.vt);

    CountingUnknown unk;
    a.vt = VT_UNKNOWN;
    a.punkVal = &unk;
    unk.AddRef();
    ASSERT_EQ(S_OK, VariantCopy(&b, &a)) << "the old string of b is freed";
    EXPECT_EQ(3, unk.refs);
    VariantClear(&a);
    VariantClear(&b);
    EXPECT_EQ(1, unk.refs);
    EXPECT_EQ(before, OrvexTaskMemBlockCount());

    a.vt = VT_ARRAY | VT_I4;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&a));
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(&b, &a));
    EXPECT_EQ(E_INVALIDARG, VariantClear(nullptr));
}

} // namespace
