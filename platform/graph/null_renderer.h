// The Null Renderer (CLSID_NullRenderer): accepts any media type and drops
// every sample once its time has come.
#pragma once

#include "stock_renderer.h"

namespace orvex::graph {

class CNullRenderer : public CStockRenderer {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    CNullRenderer(LPUNKNOWN pUnk, HRESULT *phr);

    HRESULT CheckMediaType(const CMediaType *pmt) override;

protected:
    HRESULT RenderSample(IMediaSample *pSample, REFERENCE_TIME start, bool hasTime) override;
};

} // namespace orvex::graph
