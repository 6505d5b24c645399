// The filter mapper over the registry.
#include "filter_mapper.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cwchar>
#include <new>

#include "filter_matching.h"
#include "filter_moniker.h"

namespace orvex::graph {

namespace {

const HRESULT kNotRegistered = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// cTypes pairs of (major, minor) GUIDs.
HRESULT typePairs(DWORD cTypes, const GUID *pTypes, std::vector<std::pair<GUID, GUID>> &out)
{
    if (cTypes && !pTypes) return E_POINTER;
    for (DWORD i = 0; i < cTypes; ++i)
        out.emplace_back(pTypes[2 * i], pTypes[2 * i + 1]);
    return S_OK;
}

} // namespace

CUnknown *WINAPI CFilterMapper::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    auto *mapper = new (std::nothrow) CFilterMapper(pUnk);
    if (!mapper && phr) *phr = E_OUTOFMEMORY;
    return mapper;
}

CFilterMapper::CFilterMapper(LPUNKNOWN pUnk) : CUnknown(NAME("Filter mapper"), pUnk) {}

STDMETHODIMP CFilterMapper::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IFilterMapper2) return GetInterface(static_cast<IFilterMapper2 *>(this), ppv);
    if (riid == IID_IFilterMapper) return GetInterface(static_cast<IFilterMapper *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// ---- IFilterMapper2 -------------------------------------------------------

STDMETHODIMP CFilterMapper::CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description)
{
    CheckPointer(Description, E_POINTER);
    return WriteCategory(clsidCategory, dwCategoryMerit, Description);
}

STDMETHODIMP CFilterMapper::UnregisterFilter(const CLSID *pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter)
{
    const CLSID &category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
    return DeleteFilterEntry(category, szInstance ? std::wstring(szInstance) : GuidText(Filter));
}

STDMETHODIMP CFilterMapper::RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker **ppMoniker,
                                           const CLSID *pclsidCategory, LPCOLESTR szInstance, const REGFILTER2 *prf2)
{
    CheckPointer(Name, E_POINTER);
    CheckPointer(prf2, E_POINTER);
    FilterEntry entry;
    entry.category = pclsidCategory ? *pclsidCategory : CLSID_LegacyAmFilterCategory;
    entry.instance = szInstance ? std::wstring(szInstance) : GuidText(clsidFilter);
    entry.clsid = clsidFilter;
    entry.name = Name;
    if (entry.instance.empty() || entry.instance.size() > 255 || entry.instance.find(L'\\') != std::wstring::npos)
        return E_INVALIDARG;
    HRESULT hr = FilterDataFromRegFilter2(*prf2, entry.data);
    if (FAILED(hr)) return hr;
    entry.dataText = FormatFilterData(entry.data);
    hr = WriteFilterEntry(entry);
    if (FAILED(hr) || !ppMoniker) return hr;
    *ppMoniker = nullptr;
    auto *moniker = new (std::nothrow) CFilterMoniker(std::move(entry));
    if (!moniker) return E_OUTOFMEMORY;
    moniker->NonDelegatingAddRef();
    *ppMoniker = moniker;
    return S_OK;
}

STDMETHODIMP CFilterMapper::EnumMatchingFilters(IEnumMoniker **ppEnum, DWORD, BOOL bExactMatch, DWORD dwMerit,
                                                BOOL bInputNeeded, DWORD cInputTypes, const GUID *pInputTypes,
                                                const REGPINMEDIUM *pMedIn, const CLSID *pPinCategoryIn, BOOL bRender,
                                                BOOL bOutputNeeded, DWORD cOutputTypes, const GUID *pOutputTypes,
                                                const REGPINMEDIUM *pMedOut, const CLSID *pPinCategoryOut)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    FilterQuery query;
    query.exactMatch = bExactMatch != FALSE;
    query.minMerit = dwMerit;
    query.inputNeeded = bInputNeeded != FALSE;
    query.inputMedium = pMedIn;
    query.inputCategory = pPinCategoryIn;
    query.render = bRender != FALSE;
    query.outputNeeded = bOutputNeeded != FALSE;
    query.outputMedium = pMedOut;
    query.outputCategory = pPinCategoryOut;
    HRESULT hr = typePairs(cInputTypes, pInputTypes, query.inputTypes);
    if (SUCCEEDED(hr)) hr = typePairs(cOutputTypes, pOutputTypes, query.outputTypes);
    if (FAILED(hr)) return hr;
    auto *enumerator = new (std::nothrow) CEnumFilterMonikers(FindFilters(query));
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->NonDelegatingAddRef();
    *ppEnum = enumerator;
    return S_OK;
}

// ---- IFilterMapper --------------------------------------------------------

template <class Change> HRESULT CFilterMapper::changeLegacy(REFCLSID clsid, Change change)
{
    FilterEntry entry;
    HRESULT hr = ReadFilterEntry(CLSID_LegacyAmFilterCategory, GuidText(clsid), entry);
    if (FAILED(hr)) return hr == kNotRegistered ? VFW_E_NOT_FOUND : hr;
    hr = change(entry.data);
    if (FAILED(hr)) return hr;
    return WriteFilterEntry(entry);
}

STDMETHODIMP CFilterMapper::RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit)
{
    CheckPointer(Name, E_POINTER);
    FilterEntry entry;
    entry.category = CLSID_LegacyAmFilterCategory;
    entry.instance = GuidText(clsid);
    entry.clsid = clsid;
    entry.name = Name;
    entry.data.merit = dwMerit;
    return WriteFilterEntry(entry);
}

STDMETHODIMP CFilterMapper::RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero,
                                        BOOL bMany, CLSID ConnectsToFilter, LPCWSTR ConnectsToPin)
{
    CheckPointer(Name, E_POINTER);
    REGPINTYPES none{};
    REGFILTERPINS pin{const_cast<LPWSTR>(Name), bRendered,     bOutput, bZero, bMany,
                      &ConnectsToFilter,        ConnectsToPin, 0,       &none};
    REGFILTER2 rf2{};
    rf2.dwVersion = 1;
    rf2.cPins = 1;
    rf2.rgPins = &pin;
    FilterData one;
    HRESULT hr = FilterDataFromRegFilter2(rf2, one);
    if (FAILED(hr)) return hr;
    return changeLegacy(Filter, [&](FilterData &data) {
        // A pin registered again replaces the earlier one.
        std::erase_if(data.pins, [&](const PinData &p) { return p.name == Name; });
        data.pins.push_back(one.pins[0]);
        return S_OK;
    });
}

STDMETHODIMP CFilterMapper::RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType, CLSID clsSubType)
{
    CheckPointer(strName, E_POINTER);
    return changeLegacy(clsFilter, [&](FilterData &data) {
        auto pin =
            std::find_if(data.pins.begin(), data.pins.end(), [&](const PinData &p) { return p.name == strName; });
        if (pin == data.pins.end()) return VFW_E_NOT_FOUND;
        pin->types.emplace_back(clsMajorType, clsSubType);
        return S_OK;
    });
}

STDMETHODIMP CFilterMapper::UnregisterFilter(CLSID Filter)
{
    return DeleteFilterEntry(CLSID_LegacyAmFilterCategory, GuidText(Filter));
}

STDMETHODIMP CFilterMapper::UnregisterPin(CLSID Filter, LPCWSTR Name)
{
    CheckPointer(Name, E_POINTER);
    return changeLegacy(Filter, [&](FilterData &data) {
        return std::erase_if(data.pins, [&](const PinData &p) { return p.name == Name; }) ? S_OK : VFW_E_NOT_FOUND;
    });
}

STDMETHODIMP CFilterMapper::EnumMatchingFilters(IEnumRegFilters **ppEnum, DWORD dwMerit, BOOL bInputNeeded,
                                                CLSID clsInMaj, CLSID clsInSub, BOOL bRender, BOOL bOututNeeded,
                                                CLSID clsOutMaj, CLSID clsOutSub)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    FilterQuery query;
    query.minMerit = dwMerit;
    query.inputNeeded = bInputNeeded != FALSE;
    query.inputTypes.emplace_back(clsInMaj, clsInSub);
    query.render = bRender != FALSE;
    query.outputNeeded = bOututNeeded != FALSE;
    query.outputTypes.emplace_back(clsOutMaj, clsOutSub);
    auto *enumerator = new (std::nothrow) CEnumRegFilters(FindFilters(query));
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->NonDelegatingAddRef();
    *ppEnum = enumerator;
    return S_OK;
}

// ---- IEnumRegFilters ------------------------------------------------------

CEnumRegFilters::CEnumRegFilters(std::vector<FilterEntry> entries, size_t position)
    : CUnknown(NAME("Registered filter enumerator"), NULL), m_entries(std::move(entries)), m_position(position)
{
}

STDMETHODIMP CEnumRegFilters::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IEnumRegFilters) return GetInterface(static_cast<IEnumRegFilters *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumRegFilters::Next(ULONG cFilters, REGFILTER **apRegFilter, ULONG *pcFetched)
{
    CheckPointer(apRegFilter, E_POINTER);
    if (cFilters > 1 && !pcFetched) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < cFilters && m_position < m_entries.size()) {
        const FilterEntry &entry = m_entries[m_position];
        size_t nameBytes = (entry.name.size() + 1) * sizeof(WCHAR);
        auto *block = static_cast<REGFILTER *>(CoTaskMemAlloc(sizeof(REGFILTER) + nameBytes));
        if (!block) break;
        block->Clsid = entry.clsid;
        block->Name = reinterpret_cast<LPWSTR>(block + 1);
        std::wmemcpy(block->Name, entry.name.c_str(), entry.name.size() + 1);
        apRegFilter[fetched++] = block;
        ++m_position;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cFilters ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumRegFilters::Skip(ULONG cFilters)
{
    size_t left = m_entries.size() - m_position;
    if (cFilters > left) {
        m_position = m_entries.size();
        return S_FALSE;
    }
    m_position += cFilters;
    return S_OK;
}

STDMETHODIMP CEnumRegFilters::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumRegFilters::Clone(IEnumRegFilters **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    auto *copy = new (std::nothrow) CEnumRegFilters(m_entries, m_position);
    if (!copy) return E_OUTOFMEMORY;
    copy->NonDelegatingAddRef();
    *ppEnum = copy;
    return S_OK;
}

} // namespace orvex::graph
