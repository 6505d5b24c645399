// Filter monikers, their property bags and their enumerator.
#include "filter_moniker.h"

#include <objbase.h>

#include <functional>
#include <new>

namespace orvex::graph {

namespace {

// The system's device moniker class.
DEFINE_GUID(CLSID_CDeviceMoniker, 0x4315d437, 0x5b8c, 0x11d0, 0xbd, 0x3b, 0x00, 0xa0, 0xc9, 0x11, 0xce, 0x86);

HRESULT taskString(const std::wstring &text, LPOLESTR *out)
{
    size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::wmemcpy(copy, text.c_str(), text.size() + 1);
    *out = copy;
    return S_OK;
}

BSTR makeBstr(const std::wstring &text)
{
    return SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
}

} // namespace

// ---- moniker --------------------------------------------------------------

CFilterMoniker::CFilterMoniker(FilterEntry entry) : CUnknown(NAME("Filter moniker"), NULL), m_entry(std::move(entry)) {}

STDMETHODIMP CFilterMoniker::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IMoniker) return GetInterface(static_cast<IMoniker *>(this), ppv);
    if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream *>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CFilterMoniker::GetClassID(CLSID *pClassID)
{
    CheckPointer(pClassID, E_POINTER);
    *pClassID = CLSID_CDeviceMoniker;
    return S_OK;
}

STDMETHODIMP CFilterMoniker::BindToObject(IBindCtx *, IMoniker *, REFIID riidResult, void **ppvResult)
{
    CheckPointer(ppvResult, E_POINTER);
    *ppvResult = nullptr;
    return CoCreateInstance(m_entry.clsid, nullptr, CLSCTX_INPROC_SERVER, riidResult, ppvResult);
}

STDMETHODIMP CFilterMoniker::BindToStorage(IBindCtx *, IMoniker *, REFIID riid, void **ppvObj)
{
    CheckPointer(ppvObj, E_POINTER);
    *ppvObj = nullptr;
    auto *bag = new (std::nothrow) CFilterPropertyBag(m_entry);
    if (!bag) return E_OUTOFMEMORY;
    bag->NonDelegatingAddRef();
    HRESULT hr = bag->NonDelegatingQueryInterface(riid, ppvObj);
    bag->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CFilterMoniker::Enum(BOOL, IEnumMoniker **ppenumMoniker)
{
    CheckPointer(ppenumMoniker, E_POINTER);
    *ppenumMoniker = nullptr; // a simple moniker has no parts
    return S_OK;
}

std::wstring CFilterMoniker::displayName() const
{
    return L"@device:sw:" + GuidText(m_entry.category) + L"\\" + m_entry.instance;
}

STDMETHODIMP CFilterMoniker::IsEqual(IMoniker *pmkOtherMoniker)
{
    CheckPointer(pmkOtherMoniker, E_POINTER);
    LPOLESTR other = nullptr;
    if (FAILED(pmkOtherMoniker->GetDisplayName(nullptr, nullptr, &other)) || !other) return S_FALSE;
    bool same = displayName() == other;
    CoTaskMemFree(other);
    return same ? S_OK : S_FALSE;
}

STDMETHODIMP CFilterMoniker::Hash(DWORD *pdwHash)
{
    CheckPointer(pdwHash, E_POINTER);
    *pdwHash = static_cast<DWORD>(std::hash<std::wstring>()(displayName()));
    return S_OK;
}

STDMETHODIMP CFilterMoniker::GetDisplayName(IBindCtx *, IMoniker *, LPOLESTR *ppszDisplayName)
{
    CheckPointer(ppszDisplayName, E_POINTER);
    return taskString(displayName(), ppszDisplayName);
}

STDMETHODIMP CFilterMoniker::IsSystemMoniker(DWORD *pdwMksys)
{
    CheckPointer(pdwMksys, E_POINTER);
    *pdwMksys = 0; // MKSYS_NONE
    return S_FALSE;
}

// ---- property bag ---------------------------------------------------------

CFilterPropertyBag::CFilterPropertyBag(const FilterEntry &entry)
    : CUnknown(NAME("Filter property bag"), NULL), m_entry(entry)
{
}

STDMETHODIMP CFilterPropertyBag::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IPropertyBag) return GetInterface(static_cast<IPropertyBag *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CFilterPropertyBag::Read(LPCOLESTR pszPropName, VARIANT *pVar, IErrorLog *)
{
    CheckPointer(pszPropName, E_POINTER);
    CheckPointer(pVar, E_POINTER);
    std::wstring name = pszPropName;
    std::wstring value;
    if (name == L"FriendlyName") {
        value = m_entry.name;
    } else if (name == L"CLSID") {
        value = GuidText(m_entry.clsid);
    } else if (name == L"FilterData") {
        value = m_entry.dataText;
    } else {
        return E_INVALIDARG;
    }
    if (pVar->vt != VT_EMPTY && pVar->vt != VT_BSTR) return E_FAIL;
    BSTR text = makeBstr(value);
    if (!text) return E_OUTOFMEMORY;
    if (pVar->vt == VT_BSTR) SysFreeString(pVar->bstrVal);
    pVar->vt = VT_BSTR;
    pVar->bstrVal = text;
    return S_OK;
}

// ---- enumerator -----------------------------------------------------------

CEnumFilterMonikers::CEnumFilterMonikers(std::vector<FilterEntry> entries, size_t position)
    : CUnknown(NAME("Filter moniker enumerator"), NULL), m_entries(std::move(entries)), m_position(position)
{
}

STDMETHODIMP CEnumFilterMonikers::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IEnumMoniker) return GetInterface(static_cast<IEnumMoniker *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumFilterMonikers::Next(ULONG celt, IMoniker **rgelt, ULONG *pceltFetched)
{
    CheckPointer(rgelt, E_POINTER);
    if (celt > 1 && !pceltFetched) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < celt && m_position < m_entries.size()) {
        auto *moniker = new (std::nothrow) CFilterMoniker(m_entries[m_position]);
        if (!moniker) break;
        moniker->NonDelegatingAddRef();
        rgelt[fetched++] = moniker;
        ++m_position;
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumFilterMonikers::Skip(ULONG celt)
{
    size_t left = m_entries.size() - m_position;
    if (celt > left) {
        m_position = m_entries.size();
        return S_FALSE;
    }
    m_position += celt;
    return S_OK;
}

STDMETHODIMP CEnumFilterMonikers::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumFilterMonikers::Clone(IEnumMoniker **ppenum)
{
    CheckPointer(ppenum, E_POINTER);
    auto *copy = new (std::nothrow) CEnumFilterMonikers(m_entries, m_position);
    if (!copy) return E_OUTOFMEMORY;
    copy->NonDelegatingAddRef();
    *ppenum = copy;
    return S_OK;
}

} // namespace orvex::graph
