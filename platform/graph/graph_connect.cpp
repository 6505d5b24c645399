// Connecting pins: directly, through registered filters (intelligent
// connect), and rendering an output pin to the end.
#include "filter_graph.h"

#include <qedit.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <functional>
#include <set>

#include "async_source.h"
#include "filter_matching.h"
#include "pin_helpers.h"

namespace orvex::graph {

namespace {

// How many filters intelligent connect may chain behind one pin.
constexpr int kMaxChain = 5;

std::vector<std::pair<GUID, GUID>> typePairs(const std::vector<CMediaType> &types)
{
    std::vector<std::pair<GUID, GUID>> pairs;
    for (const CMediaType &t : types)
        pairs.emplace_back(t.majortype, t.subtype);
    return pairs;
}

CLSID classOf(IBaseFilter *filter)
{
    CLSID clsid = GUID_NULL;
    if (filter) filter->GetClassID(&clsid);
    return clsid;
}

bool identical(IUnknown *a, IUnknown *b)
{
    ComPtr<IUnknown> ia, ib;
    return SUCCEEDED(a->QueryInterface(IID_IUnknown, &ia)) && SUCCEEDED(b->QueryInterface(IID_IUnknown, &ib)) &&
           ia.Get() == ib.Get();
}

// True when candidate feeds, directly or not, the filter of pin out.
bool isUpstream(IBaseFilter *candidate, IBaseFilter *of)
{
    std::set<IUnknown *> seen;
    std::function<bool(IBaseFilter *)> walk = [&](IBaseFilter *f) {
        ComPtr<IUnknown> id;
        if (FAILED(f->QueryInterface(IID_IUnknown, &id)) || !seen.insert(id.Get()).second) return false;
        for (const ComPtr<IPin> &in : FilterPins(f, PINDIR_INPUT)) {
            ComPtr<IBaseFilter> up = PinFilter(ConnectedPin(in.Get()).Get());
            if (!up) continue;
            if (identical(up.Get(), candidate) || walk(up.Get())) return true;
        }
        return false;
    };
    return walk(of);
}

void breakConnection(IPin *pin)
{
    if (ComPtr<IPin> peer = ConnectedPin(pin)) {
        peer->Disconnect();
        pin->Disconnect();
    }
}

} // namespace

HRESULT CFilterGraph::checkPins(IPin *out, IPin *in)
{
    if (!pinInGraph(out) || !pinInGraph(in)) return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION dOut, dIn;
    if (!PinDirection(out, dOut) || !PinDirection(in, dIn)) return E_FAIL;
    if (dOut != PINDIR_OUTPUT || dIn != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    if (ConnectedPin(out) || ConnectedPin(in)) return VFW_E_ALREADY_CONNECTED;
    return S_OK;
}

STDMETHODIMP CFilterGraph::ConnectDirect(IPin *ppinOut, IPin *ppinIn, const AM_MEDIA_TYPE *pmt)
{
    CheckPointer(ppinOut, E_POINTER);
    CheckPointer(ppinIn, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    HRESULT hr = checkPins(ppinOut, ppinIn);
    if (FAILED(hr)) return hr;
    return ppinOut->Connect(ppinIn, pmt);
}

HRESULT CFilterGraph::tryDirect(IPin *out, IPin *in)
{
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (IPin *offering : {out, in}) {
        for (const CMediaType &type : PinMediaTypes(offering)) {
            HRESULT hr = out->Connect(in, &type);
            if (SUCCEEDED(hr)) return hr;
            last = hr;
        }
    }
    // Pins that offer nothing may still agree between themselves.
    HRESULT hr = out->Connect(in, nullptr);
    return SUCCEEDED(hr) ? hr : last;
}

void CFilterGraph::backOut(IBaseFilter *filter)
{
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (identical(m_members[i].filter, filter)) {
            removeMember(i);
            return;
        }
    }
}

HRESULT CFilterGraph::connectThrough(IPin *out, IPin *in, int depth, std::vector<CLSID> &chain)
{
    if (depth >= kMaxChain) return VFW_E_CANNOT_CONNECT;
    FilterQuery query;
    query.minMerit = MERIT_DO_NOT_USE + 1;
    query.inputNeeded = true;
    query.inputTypes = typePairs(PinMediaTypes(out));
    query.outputNeeded = true;
    for (const FilterEntry &candidate : FindFilters(query)) {
        if (std::find(chain.begin(), chain.end(), candidate.clsid) != chain.end()) continue;
        ComPtr<IBaseFilter> filter;
        if (FAILED(CoCreateInstance(candidate.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &filter)) ||
            FAILED(AddFilter(filter.Get(), candidate.name.c_str()))) {
            continue;
        }
        bool connected = false;
        for (const ComPtr<IPin> &fin : FilterPins(filter.Get(), PINDIR_INPUT)) {
            if (!ConnectedPin(fin.Get()) && SUCCEEDED(tryDirect(out, fin.Get()))) {
                connected = true;
                break;
            }
        }
        if (connected) {
            chain.push_back(candidate.clsid);
            for (const ComPtr<IPin> &fout : FilterPins(filter.Get(), PINDIR_OUTPUT)) {
                if (ConnectedPin(fout.Get())) continue;
                if (SUCCEEDED(tryDirect(fout.Get(), in)) ||
                    SUCCEEDED(connectThrough(fout.Get(), in, depth + 1, chain))) {
                    chain.pop_back();
                    return S_OK;
                }
            }
            chain.pop_back();
        }
        backOut(filter.Get());
    }
    return VFW_E_CANNOT_CONNECT;
}

STDMETHODIMP CFilterGraph::Connect(IPin *ppinOut, IPin *ppinIn)
{
    CheckPointer(ppinOut, E_POINTER);
    CheckPointer(ppinIn, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    HRESULT hr = checkPins(ppinOut, ppinIn);
    if (FAILED(hr)) return hr;
    if (SUCCEEDED(tryDirect(ppinOut, ppinIn))) return S_OK;
    std::vector<CLSID> chain{classOf(PinFilter(ppinOut).Get()), classOf(PinFilter(ppinIn).Get())};
    return connectThrough(ppinOut, ppinIn, 0, chain);
}

HRESULT CFilterGraph::renderOutputs(IBaseFilter *filter, int depth, std::vector<CLSID> &chain)
{
    std::vector<ComPtr<IPin>> outs = FilterPins(filter, PINDIR_OUTPUT);
    if (outs.empty()) return S_OK; // a renderer
    int rendered = 0;
    bool partial = false;
    for (const ComPtr<IPin> &out : outs) {
        if (ConnectedPin(out.Get())) {
            ++rendered;
            continue;
        }
        HRESULT hr = renderPin(out.Get(), depth, chain);
        if (SUCCEEDED(hr)) {
            ++rendered;
            if (hr == VFW_S_PARTIAL_RENDER) partial = true;
        } else {
            partial = true;
        }
    }
    if (rendered == 0) return VFW_E_CANNOT_RENDER;
    return partial ? VFW_S_PARTIAL_RENDER : S_OK;
}

HRESULT CFilterGraph::renderPin(IPin *out, int depth, std::vector<CLSID> &chain)
{
    if (depth >= kMaxChain) return VFW_E_CANNOT_RENDER;
    ComPtr<IBaseFilter> source = PinFilter(out);

    // Filters already in the graph with a free input come first.
    std::vector<ComPtr<IBaseFilter>> members;
    for (IBaseFilter *f : filterList())
        members.push_back(ComPtr<IBaseFilter>(f));
    for (const ComPtr<IBaseFilter> &member : members) {
        if (identical(member.Get(), source.Get()) || isUpstream(member.Get(), source.Get())) continue;
        for (const ComPtr<IPin> &in : FilterPins(member.Get(), PINDIR_INPUT)) {
            if (ConnectedPin(in.Get()) || FAILED(tryDirect(out, in.Get()))) continue;
            HRESULT hr = renderOutputs(member.Get(), depth + 1, chain);
            if (SUCCEEDED(hr)) return hr;
            breakConnection(out);
        }
    }

    FilterQuery query;
    query.minMerit = MERIT_DO_NOT_USE + 1;
    query.inputNeeded = true;
    query.inputTypes = typePairs(PinMediaTypes(out));
    for (const FilterEntry &candidate : FindFilters(query)) {
        if (std::find(chain.begin(), chain.end(), candidate.clsid) != chain.end()) continue;
        ComPtr<IBaseFilter> filter;
        if (FAILED(CoCreateInstance(candidate.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &filter)) ||
            FAILED(AddFilter(filter.Get(), candidate.name.c_str()))) {
            continue;
        }
        for (const ComPtr<IPin> &in : FilterPins(filter.Get(), PINDIR_INPUT)) {
            if (ConnectedPin(in.Get()) || FAILED(tryDirect(out, in.Get()))) continue;
            chain.push_back(candidate.clsid);
            HRESULT hr = renderOutputs(filter.Get(), depth + 1, chain);
            chain.pop_back();
            if (SUCCEEDED(hr)) return hr;
            breakConnection(out);
        }
        backOut(filter.Get());
    }
    return VFW_E_CANNOT_RENDER;
}

STDMETHODIMP CFilterGraph::Render(IPin *ppinOut)
{
    CheckPointer(ppinOut, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    if (!pinInGraph(ppinOut)) return VFW_E_NOT_IN_GRAPH;
    PIN_DIRECTION d;
    if (!PinDirection(ppinOut, d) || d != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (ConnectedPin(ppinOut)) return VFW_E_ALREADY_CONNECTED;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    std::vector<CLSID> chain{classOf(PinFilter(ppinOut).Get())};
    return renderPin(ppinOut, 0, chain);
}

STDMETHODIMP CFilterGraph::AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter **ppFilter)
{
    CheckPointer(lpcwstrFileName, E_POINTER);
    CheckPointer(ppFilter, E_POINTER);
    *ppFilter = nullptr;
    HRESULT hr = S_OK;
    CUnknown *object = CAsyncSourceFilter::CreateInstance(nullptr, &hr);
    if (!object) return hr;
    ComPtr<IBaseFilter> filter;
    object->NonDelegatingQueryInterface(IID_IBaseFilter, &filter);
    ComPtr<IFileSourceFilter> file;
    filter->QueryInterface(IID_IFileSourceFilter, &file);
    hr = file->Load(lpcwstrFileName, nullptr);
    if (FAILED(hr)) return hr;
    hr = AddFilter(filter.Get(), lpcwstrFilterName ? lpcwstrFilterName : lpcwstrFileName);
    if (FAILED(hr)) return hr;
    *ppFilter = filter.Detach();
    return hr;
}

STDMETHODIMP CFilterGraph::RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList)
{
    CheckPointer(lpcwstrFile, E_POINTER);
    if (lpcwstrPlayList) return E_INVALIDARG;
    CAutoLock lock(&m_GraphLock);
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IBaseFilter> source;
    HRESULT hr = AddSourceFilter(lpcwstrFile, lpcwstrFile, &source);
    if (FAILED(hr)) return hr;
    std::vector<CLSID> chain{CLSID_AsyncReader};
    hr = renderOutputs(source.Get(), 0, chain);
    if (FAILED(hr)) backOut(source.Get());
    return hr;
}

STDMETHODIMP CFilterGraph::RenderFile(BSTR strFilename)
{
    return RenderFile(static_cast<LPCWSTR>(strFilename), nullptr);
}

STDMETHODIMP CFilterGraph::Disconnect(IPin *ppin)
{
    CheckPointer(ppin, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    return ppin->Disconnect();
}

STDMETHODIMP CFilterGraph::Reconnect(IPin *ppin)
{
    CheckPointer(ppin, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    if (!pinInGraph(ppin)) return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer = ConnectedPin(ppin);
    if (!peer) return VFW_E_NOT_CONNECTED;
    PIN_DIRECTION d;
    if (!PinDirection(ppin, d)) return E_FAIL;
    IPin *out = d == PINDIR_OUTPUT ? ppin : peer.Get();
    IPin *in = d == PINDIR_OUTPUT ? peer.Get() : ppin;
    CMediaType type;
    HRESULT hr = out->ConnectionMediaType(&type);
    if (FAILED(hr)) return hr;
    in->Disconnect();
    out->Disconnect();
    hr = out->Connect(in, &type);
    return SUCCEEDED(hr) ? hr : tryDirect(out, in);
}

} // namespace orvex::graph
