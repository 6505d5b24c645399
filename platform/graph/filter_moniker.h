// The monikers IFilterMapper2::EnumMatchingFilters hands out, one per
// registered filter. BindToObject creates the filter; BindToStorage gives a
// property bag with "FriendlyName", "CLSID" and "FilterData" (all text).
// Only what a graph builder uses is implemented; the rest of IMoniker
// answers E_NOTIMPL.
#pragma once

#include <objidl.h>
#include <oaidl.h>

#include <vector>

#include "combase.h"
#include "filter_store.h"

namespace orvex::graph {

class CFilterMoniker : public CUnknown, public IMoniker {
public:
    explicit CFilterMoniker(FilterEntry entry);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    const FilterEntry &Entry() const { return m_entry; }

    STDMETHODIMP GetClassID(CLSID *pClassID) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream *) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream *, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER *) override { return E_NOTIMPL; }

    STDMETHODIMP BindToObject(IBindCtx *pbc, IMoniker *pmkToLeft, REFIID riidResult, void **ppvResult) override;
    STDMETHODIMP BindToStorage(IBindCtx *pbc, IMoniker *pmkToLeft, REFIID riid, void **ppvObj) override;
    STDMETHODIMP Reduce(IBindCtx *, DWORD, IMoniker **, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP ComposeWith(IMoniker *, BOOL, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP Enum(BOOL, IEnumMoniker **ppenumMoniker) override;
    STDMETHODIMP IsEqual(IMoniker *pmkOtherMoniker) override;
    STDMETHODIMP Hash(DWORD *pdwHash) override;
    STDMETHODIMP IsRunning(IBindCtx *, IMoniker *, IMoniker *) override { return S_FALSE; }
    STDMETHODIMP GetTimeOfLastChange(IBindCtx *, IMoniker *, FILETIME *) override { return E_NOTIMPL; }
    STDMETHODIMP Inverse(IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP CommonPrefixWith(IMoniker *, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP RelativePathTo(IMoniker *, IMoniker **) override { return E_NOTIMPL; }
    // "@device:sw:{category}\{instance}" in task memory.
    STDMETHODIMP GetDisplayName(IBindCtx *pbc, IMoniker *pmkToLeft, LPOLESTR *ppszDisplayName) override;
    STDMETHODIMP ParseDisplayName(IBindCtx *, IMoniker *, LPOLESTR, ULONG *, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP IsSystemMoniker(DWORD *pdwMksys) override;

private:
    std::wstring displayName() const;
    FilterEntry m_entry;
};

// A read-only property bag over a filter's registration.
class CFilterPropertyBag : public CUnknown, public IPropertyBag {
public:
    explicit CFilterPropertyBag(const FilterEntry &entry);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // VT_BSTR values; E_INVALIDARG for another name. A VT_EMPTY variant
    // takes the value as text; another requested type is refused.
    STDMETHODIMP Read(LPCOLESTR pszPropName, VARIANT *pVar, IErrorLog *pErrorLog) override;
    STDMETHODIMP Write(LPCOLESTR, VARIANT *) override { return E_ACCESSDENIED; }

private:
    FilterEntry m_entry;
};

// IEnumMoniker over a fixed list.
class CEnumFilterMonikers : public CUnknown, public IEnumMoniker {
public:
    explicit CEnumFilterMonikers(std::vector<FilterEntry> entries, size_t position = 0);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    STDMETHODIMP Next(ULONG celt, IMoniker **rgelt, ULONG *pceltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMoniker **ppenum) override;

private:
    std::vector<FilterEntry> m_entries;
    size_t m_position;
};

} // namespace orvex::graph
