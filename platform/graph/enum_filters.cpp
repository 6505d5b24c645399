// The filter enumerator.
#include "enum_filters.h"

#include <new>

namespace orvex::graph {

CEnumFilters::CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters, size_t position)
    : CUnknown(NAME("Filter enumerator"), NULL), m_filters(std::move(filters)), m_position(position)
{
}

STDMETHODIMP CEnumFilters::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IEnumFilters) return GetInterface(static_cast<IEnumFilters *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumFilters::Next(ULONG cFilters, IBaseFilter **ppFilter, ULONG *pcFetched)
{
    CheckPointer(ppFilter, E_POINTER);
    if (cFilters > 1 && !pcFetched) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < cFilters && m_position < m_filters.size()) {
        IBaseFilter *filter = m_filters[m_position++].Get();
        filter->AddRef();
        ppFilter[fetched++] = filter;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cFilters ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumFilters::Skip(ULONG cFilters)
{
    size_t left = m_filters.size() - m_position;
    if (cFilters > left) {
        m_position = m_filters.size();
        return S_FALSE;
    }
    m_position += cFilters;
    return S_OK;
}

STDMETHODIMP CEnumFilters::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumFilters::Clone(IEnumFilters **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    auto *copy = new (std::nothrow) CEnumFilters(m_filters, m_position);
    if (!copy) return E_OUTOFMEMORY;
    copy->NonDelegatingAddRef();
    *ppEnum = copy;
    return S_OK;
}

} // namespace orvex::graph
