// The filter graph object: creation, interfaces, the event interfaces.
#include "filter_graph.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <new>

namespace orvex::graph {

CUnknown *WINAPI CFilterGraph::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    auto *graph = new (std::nothrow) CFilterGraph(pUnk);
    if (!graph && phr) *phr = E_OUTOFMEMORY;
    return graph;
}

CFilterGraph::CFilterGraph(LPUNKNOWN pUnk) : CUnknown(NAME("Filter graph"), pUnk) {}

CFilterGraph::~CFilterGraph()
{
    CAutoLock lock(&m_GraphLock);
    stopLocked();
    while (!m_members.empty())
        removeMember(m_members.size() - 1);
    if (m_pClock) m_pClock->Release();
}

STDMETHODIMP CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IFilterGraph) return GetInterface(static_cast<IFilterGraph *>(this), ppv);
    if (riid == IID_IGraphBuilder) return GetInterface(static_cast<IGraphBuilder *>(this), ppv);
    if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl *>(this), ppv);
    if (riid == IID_IMediaEvent) return GetInterface(static_cast<IMediaEvent *>(this), ppv);
    if (riid == IID_IMediaEventEx) return GetInterface(static_cast<IMediaEventEx *>(this), ppv);
    if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink *>(this), ppv);
    if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter *>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CFilterGraph::GetClassID(CLSID *pClassID)
{
    CheckPointer(pClassID, E_POINTER);
    *pClassID = CLSID_FilterGraph;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetTypeInfoCount(UINT *pctinfo)
{
    CheckPointer(pctinfo, E_POINTER);
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetEventHandle(OAEVENT *hEvent)
{
    CheckPointer(hEvent, E_POINTER);
    *hEvent = reinterpret_cast<OAEVENT>(m_events.Handle());
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetEvent(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2, LONG msTimeout)
{
    return m_events.GetEvent(lEventCode, lParam1, lParam2, msTimeout);
}

STDMETHODIMP CFilterGraph::WaitForCompletion(LONG msTimeout, LONG *pEvCode)
{
    return m_events.WaitForCompletion(msTimeout, pEvCode);
}

STDMETHODIMP CFilterGraph::CancelDefaultHandling(LONG lEvCode)
{
    return m_events.CancelDefaultHandling(lEvCode);
}

STDMETHODIMP CFilterGraph::RestoreDefaultHandling(LONG lEvCode)
{
    return m_events.RestoreDefaultHandling(lEvCode);
}

STDMETHODIMP CFilterGraph::SetNotifyFlags(LONG lNoNotifyFlags)
{
    return m_events.SetNotifyFlags(lNoNotifyFlags);
}

STDMETHODIMP CFilterGraph::GetNotifyFlags(LONG *lplNoNotifyFlags)
{
    CheckPointer(lplNoNotifyFlags, E_POINTER);
    *lplNoNotifyFlags = m_events.NotifyFlags();
    return S_OK;
}

STDMETHODIMP CFilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2)
{
    m_events.Notify(EventCode, EventParam1, EventParam2);
    return S_OK;
}

} // namespace orvex::graph
