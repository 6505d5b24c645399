// IEnumFilters over a snapshot of the graph's filters.
#pragma once

#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "combase.h"

namespace orvex::graph {

using Microsoft::WRL::ComPtr;

class CEnumFilters : public CUnknown, public IEnumFilters {
public:
    explicit CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters, size_t position = 0);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    STDMETHODIMP Next(ULONG cFilters, IBaseFilter **ppFilter, ULONG *pcFetched) override;
    STDMETHODIMP Skip(ULONG cFilters) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumFilters **ppEnum) override;

private:
    std::vector<ComPtr<IBaseFilter>> m_filters;
    size_t m_position;
};

} // namespace orvex::graph
