// A small in-process server: a filter taking the test doubles' TestA samples,
// registered with setup data, and a COM object registered as a class only.
#include <olectl.h>
#include <streams.h>

#include <new>

namespace {

DEFINE_GUID(CLSID_ModuleTestFilter, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_ModuleTestObject, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
// The same values as the graph tests' MEDIATYPE_Test and MEDIASUBTYPE_TestA.
DEFINE_GUID(MEDIATYPE_Test, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(MEDIASUBTYPE_TestA, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a);

class CModuleInput : public CBaseInputPin {
public:
    CModuleInput(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CBaseInputPin(NAME("Module test input"), pFilter, pLock, phr, L"Input")
    {
    }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Test && *pmt->Subtype() == MEDIASUBTYPE_TestA ? S_OK : S_FALSE;
    }
};

class CModuleTestFilter : public CBaseFilter {
public:
    CModuleTestFilter(LPUNKNOWN pUnk, HRESULT *phr)
        : CBaseFilter(NAME("Module test filter"), pUnk, &m_Lock, CLSID_ModuleTestFilter), m_input(this, &m_Lock, phr)
    {
    }
    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override { return n == 0 ? &m_input : NULL; }

private:
    CCritSec m_Lock;
    CModuleInput m_input;
};

CUnknown *WINAPI createFilter(LPUNKNOWN pUnk, HRESULT *phr)
{
    return new (std::nothrow) CModuleTestFilter(pUnk, phr);
}

CUnknown *WINAPI createObject(LPUNKNOWN pUnk, HRESULT *)
{
    return new (std::nothrow) CUnknown(NAME("Module test object"), pUnk);
}

const AMOVIESETUP_MEDIATYPE kInputType = {&MEDIATYPE_Test, &MEDIASUBTYPE_TestA};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, NULL, 1, &kInputType}};
const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_ModuleTestFilter, L"Module Test Filter", MERIT_NORMAL, 1, kPins};

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"Module Test Filter", &CLSID_ModuleTestFilter, createFilter, NULL, &kFilterSetup},
    {L"Module Test Object", &CLSID_ModuleTestObject, createObject, NULL, NULL},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer()
{
    return AMovieDllRegisterServer2(TRUE);
}

STDAPI DllUnregisterServer()
{
    return AMovieDllRegisterServer2(FALSE);
}
