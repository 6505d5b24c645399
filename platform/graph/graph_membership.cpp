// Which filters the graph holds: adding, removing, finding, enumerating.
#include "filter_graph.h"

#include <vfwmsgs.h>

#include <cwchar>
#include <new>

#include "enum_filters.h"
#include "pin_helpers.h"

namespace orvex::graph {

namespace {

bool sameObject(IUnknown *a, IUnknown *b)
{
    if (a == b) return true;
    ComPtr<IUnknown> ia, ib;
    if (FAILED(a->QueryInterface(IID_IUnknown, &ia)) || FAILED(b->QueryInterface(IID_IUnknown, &ib))) return false;
    return ia.Get() == ib.Get();
}

} // namespace

bool CFilterGraph::contains(IBaseFilter *filter)
{
    for (const Member &m : m_members) {
        if (sameObject(m.filter, filter)) return true;
    }
    return false;
}

bool CFilterGraph::pinInGraph(IPin *pin)
{
    ComPtr<IBaseFilter> filter = PinFilter(pin);
    return filter && contains(filter.Get());
}

std::vector<IBaseFilter *> CFilterGraph::filterList()
{
    std::vector<IBaseFilter *> filters;
    for (const Member &m : m_members)
        filters.push_back(m.filter);
    return filters;
}

std::wstring CFilterGraph::uniqueName(const std::wstring &wanted)
{
    auto taken = [this](const std::wstring &name) {
        for (const Member &m : m_members) {
            if (m.name == name) return true;
        }
        return false;
    };
    if (!taken(wanted)) return wanted;
    for (int n = 1; n < 10000; ++n) {
        wchar_t suffix[8];
        std::swprintf(suffix, 8, L" %04d", n);
        std::wstring candidate = wanted + suffix;
        if (!taken(candidate)) return candidate;
    }
    return {};
}

STDMETHODIMP CFilterGraph::AddFilter(IBaseFilter *pFilter, LPCWSTR pName)
{
    CheckPointer(pFilter, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    if (contains(pFilter)) return E_INVALIDARG;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    std::wstring wanted = pName && *pName ? pName : L"Filter";
    // Names longer than a FILTER_INFO holds are cut, as the filter will cut them.
    if (wanted.size() >= MAX_FILTER_NAME - 5) wanted.resize(MAX_FILTER_NAME - 6);
    std::wstring name = uniqueName(wanted);
    if (name.empty()) return VFW_E_DUPLICATE_NAME;
    HRESULT hr = pFilter->JoinFilterGraph(static_cast<IFilterGraph *>(this), name.c_str());
    if (FAILED(hr)) return hr;
    pFilter->AddRef();
    m_members.push_back({pFilter, name});
    return name == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
}

void CFilterGraph::removeMember(size_t index)
{
    Member member = m_members[index];
    m_members.erase(m_members.begin() + static_cast<std::ptrdiff_t>(index));
    for (const ComPtr<IPin> &pin : FilterPins(member.filter)) {
        if (ComPtr<IPin> peer = ConnectedPin(pin.Get())) {
            peer->Disconnect();
            pin->Disconnect();
        }
    }
    member.filter->SetSyncSource(nullptr);
    member.filter->JoinFilterGraph(nullptr, nullptr);
    member.filter->Release();
}

STDMETHODIMP CFilterGraph::RemoveFilter(IBaseFilter *pFilter)
{
    CheckPointer(pFilter, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (!sameObject(m_members[i].filter, pFilter)) continue;
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        removeMember(i);
        return S_OK;
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CFilterGraph::EnumFilters(IEnumFilters **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    std::vector<ComPtr<IBaseFilter>> filters;
    for (const Member &m : m_members)
        filters.push_back(ComPtr<IBaseFilter>(m.filter));
    auto *e = new (std::nothrow) CEnumFilters(std::move(filters));
    if (!e) return E_OUTOFMEMORY;
    e->NonDelegatingAddRef();
    *ppEnum = e;
    return S_OK;
}

STDMETHODIMP CFilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter **ppFilter)
{
    CheckPointer(ppFilter, E_POINTER);
    *ppFilter = nullptr;
    CheckPointer(pName, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    for (const Member &m : m_members) {
        if (m.name == pName) {
            m.filter->AddRef();
            *ppFilter = m.filter;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

} // namespace orvex::graph
