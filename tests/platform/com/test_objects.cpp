// The test objects and this program's class table.
#include "test_objects.h"

int CTestObject::s_destroyed = 0;
int g_initCalls = 0;
int g_uninitCalls = 0;

CUnknown *WINAPI CTestObject::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    return new CTestObject(pUnk, phr);
}

STDMETHODIMP CTestObject::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_ITestCounter) return GetInterface(static_cast<ITestCounter *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

CTestOuter::CTestOuter(HRESULT *phr) : CUnknown(NAME("Test outer"), nullptr)
{
    HRESULT hr = S_OK;
    CUnknown *inner = CTestObject::CreateInstance(GetOwner(), &hr);
    // Hold the inner object by its non-delegating unknown: that reference
    // keeps it alive and does not count on the outer object.
    hr = inner->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void **>(&m_pInner));
    if (FAILED(hr)) *phr = hr;
}

CTestOuter::~CTestOuter()
{
    if (m_pInner) m_pInner->Release();
}

STDMETHODIMP CTestOuter::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_ITestOuter) return GetInterface(static_cast<ITestOuter *>(this), ppv);
    if (riid == IID_ITestCounter) return m_pInner->QueryInterface(riid, ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

namespace {

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

void WINAPI InitRoutine(BOOL bLoading, const CLSID *)
{
    if (bLoading) {
        ++g_initCalls;
    } else {
        ++g_uninitCalls;
    }
}

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"Test Object", &CLSID_TestObject, CTestObject::CreateInstance, InitRoutine, nullptr},
    {L"Test Out Of Memory", &CLSID_TestOutOfMemory, CreateOutOfMemory, nullptr, nullptr},
    {L"Test Failing Init", &CLSID_TestFailingInit, CreateFailingInit, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
