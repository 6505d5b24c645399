// The filter mapper (CLSID_FilterMapper2 and CLSID_FilterMapper): filter
// registrations in the registry (filter_store.h). The version 1 interface
// works on the legacy filter category, where version 2 registers by
// default, so both see the same filters.
#pragma once

#include <strmif.h>

#include <vector>

#include "combase.h"
#include "filter_store.h"

namespace orvex::graph {

class CFilterMapper : public CUnknown, public IFilterMapper2, public IFilterMapper {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    explicit CFilterMapper(LPUNKNOWN pUnk);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // IFilterMapper2
    STDMETHODIMP CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) override;
    // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the filter was not registered there.
    STDMETHODIMP UnregisterFilter(const CLSID *pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter) override;
    STDMETHODIMP RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker **ppMoniker, const CLSID *pclsidCategory,
                                LPCOLESTR szInstance, const REGFILTER2 *prf2) override;
    STDMETHODIMP EnumMatchingFilters(IEnumMoniker **ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit,
                                     BOOL bInputNeeded, DWORD cInputTypes, const GUID *pInputTypes,
                                     const REGPINMEDIUM *pMedIn, const CLSID *pPinCategoryIn, BOOL bRender,
                                     BOOL bOutputNeeded, DWORD cOutputTypes, const GUID *pOutputTypes,
                                     const REGPINMEDIUM *pMedOut, const CLSID *pPinCategoryOut) override;

    // IFilterMapper
    STDMETHODIMP RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit) override;
    STDMETHODIMP RegisterFilterInstance(CLSID, LPCWSTR, CLSID *) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero, BOOL bMany,
                             CLSID ConnectsToFilter, LPCWSTR ConnectsToPin) override;
    STDMETHODIMP RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType, CLSID clsSubType) override;
    STDMETHODIMP UnregisterFilter(CLSID Filter) override;
    STDMETHODIMP UnregisterFilterInstance(CLSID) override { return E_NOTIMPL; }
    STDMETHODIMP UnregisterPin(CLSID Filter, LPCWSTR Name) override;
    STDMETHODIMP EnumMatchingFilters(IEnumRegFilters **ppEnum, DWORD dwMerit, BOOL bInputNeeded, CLSID clsInMaj,
                                     CLSID clsInSub, BOOL bRender, BOOL bOututNeeded, CLSID clsOutMaj,
                                     CLSID clsOutSub) override;

private:
    // Reads, changes and writes back a version 1 registration.
    template <class Change> HRESULT changeLegacy(REFCLSID clsid, Change change);
};

// IEnumRegFilters over a fixed list; each REGFILTER is one task-memory
// block holding its name.
class CEnumRegFilters : public CUnknown, public IEnumRegFilters {
public:
    explicit CEnumRegFilters(std::vector<FilterEntry> entries, size_t position = 0);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    STDMETHODIMP Next(ULONG cFilters, REGFILTER **apRegFilter, ULONG *pcFetched) override;
    STDMETHODIMP Skip(ULONG cFilters) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumRegFilters **ppEnum) override;

private:
    std::vector<FilterEntry> m_entries;
    size_t m_position;
};

} // namespace orvex::graph
