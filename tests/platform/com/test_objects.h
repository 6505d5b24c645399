// Small COM objects built on CUnknown for the tests of the COM base classes,
// and the class table (g_Templates) of this test program.
#pragma once

#include "combase.h"

// {6F1D6E10-8A43-4D4B-9D2E-0A7C1B4F5E01}
DEFINE_GUID(IID_ITestCounter, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x01);
// {6F1D6E10-8A43-4D4B-9D2E-0A7C1B4F5E02}
DEFINE_GUID(CLSID_TestObject, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x02);
// {6F1D6E10-8A43-4D4B-9D2E-0A7C1B4F5E03}
DEFINE_GUID(CLSID_TestOutOfMemory, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x03);
// {6F1D6E10-8A43-4D4B-9D2E-0A7C1B4F5E04}
DEFINE_GUID(CLSID_TestFailingInit, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x04);
// {6F1D6E10-8A43-4D4B-9D2E-0A7C1B4F5E05}
DEFINE_GUID(IID_ITestOuter, 0x6f1d6e10, 0x8a43, 0x4d4b, 0x9d, 0x2e, 0x0a, 0x7c, 0x1b, 0x4f, 0x5e, 0x05);

struct ITestCounter : public IUnknown {
    STDMETHOD_(LONG, Increment)() PURE;
};

struct ITestOuter : public IUnknown {
    STDMETHOD_(LONG, OuterValue)() PURE;
};

// A plain object with one interface; counts its destructions.
class CTestObject : public CUnknown, public ITestCounter {
    LONG m_value = 0;

public:
    static int s_destroyed;
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);

    CTestObject(LPUNKNOWN pUnk, HRESULT *phr) : CUnknown(NAME("Test object"), pUnk, phr) {}
    ~CTestObject() override { ++s_destroyed; }

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(LONG) Increment() override { return ++m_value; }

    LONG RefCount() const { return m_cRef; }
};

// An object that aggregates a CTestObject and exposes its ITestCounter.
class CTestOuter : public CUnknown, public ITestOuter {
    IUnknown *m_pInner = nullptr; // the inner object's non-delegating unknown

public:
    explicit CTestOuter(HRESULT *phr);
    ~CTestOuter() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(LONG) OuterValue() override { return 42; }

    LONG RefCount() const { return m_cRef; }
};

extern int g_initCalls;
extern int g_uninitCalls;
