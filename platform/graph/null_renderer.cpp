// The Null Renderer.
#include "null_renderer.h"

#include <qedit.h>

#include <new>

namespace orvex::graph {

CUnknown *WINAPI CNullRenderer::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    HRESULT hr = S_OK;
    auto *renderer = new (std::nothrow) CNullRenderer(pUnk, &hr);
    if (renderer && FAILED(hr)) {
        delete renderer;
        renderer = nullptr;
    }
    if (!renderer && phr) *phr = FAILED(hr) ? hr : E_OUTOFMEMORY;
    return renderer;
}

CNullRenderer::CNullRenderer(LPUNKNOWN pUnk, HRESULT *phr)
    : CStockRenderer(NAME("Null Renderer"), pUnk, CLSID_NullRenderer, phr)
{
}

HRESULT CNullRenderer::CheckMediaType(const CMediaType *)
{
    return S_OK;
}

HRESULT CNullRenderer::RenderSample(IMediaSample *, REFERENCE_TIME, bool)
{
    return S_OK;
}

} // namespace orvex::graph
