// The filter graph manager (CLSID_FilterGraph): holds the filters, connects
// their pins (directly, or through registered filters by merit), runs,
// pauses and stops them downstream first with one reference clock and one
// start time, forwards seeks to the pins upstream of its renderers and
// tells the application when every renderer has reached the end.
//
// Locks: m_GraphLock (filter list, connections, state changes) is taken by
// the application's calls; the event queue has its own lock, so filters may
// send events from any thread, even while a state change waits for them.
#pragma once

#include <control.h>

#include <string>
#include <vector>

#include "combase.h"
#include "graph_events.h"
#include "mtype.h"
#include "wxutil.h"

namespace orvex::graph {

class CFilterGraph : public CUnknown,
                     public IGraphBuilder,
                     public IMediaControl,
                     public IMediaEventEx,
                     public IMediaEventSink,
                     public IMediaSeeking,
                     public IMediaFilter {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    explicit CFilterGraph(LPUNKNOWN pUnk);
    ~CFilterGraph() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // IFilterGraph
    // A name already in use gets a number appended (VFW_S_DUPLICATE_NAME).
    STDMETHODIMP AddFilter(IBaseFilter *pFilter, LPCWSTR pName) override;
    // Disconnects the filter's pins first. VFW_E_NOT_STOPPED unless stopped.
    STDMETHODIMP RemoveFilter(IBaseFilter *pFilter) override;
    STDMETHODIMP EnumFilters(IEnumFilters **ppEnum) override;
    STDMETHODIMP FindFilterByName(LPCWSTR pName, IBaseFilter **ppFilter) override;
    STDMETHODIMP ConnectDirect(IPin *ppinOut, IPin *ppinIn, const AM_MEDIA_TYPE *pmt) override;
    STDMETHODIMP Reconnect(IPin *ppin) override;
    STDMETHODIMP Disconnect(IPin *ppin) override;
    STDMETHODIMP SetDefaultSyncSource() override;

    // IGraphBuilder
    // Directly (the output pin's types, then the input pin's), else through
    // registered filters by merit.
    STDMETHODIMP Connect(IPin *ppinOut, IPin *ppinIn) override;
    // Filters in the graph with a free input first, then registered filters
    // by merit, rendering their outputs in turn. VFW_S_PARTIAL_RENDER when
    // some stream of the chain could not be rendered.
    STDMETHODIMP Render(IPin *ppinOut) override;
    STDMETHODIMP RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    // The async file source with the file loaded, added under its name.
    STDMETHODIMP AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter **ppFilter) override;
    STDMETHODIMP SetLogFile(DWORD_PTR) override { return S_OK; }
    STDMETHODIMP Abort() override { return S_OK; }
    STDMETHODIMP ShouldOperationContinue() override { return S_OK; }

    // IDispatch: automation is not offered.
    STDMETHODIMP GetTypeInfoCount(UINT *pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    // IMediaControl (Stop and Pause are IMediaFilter's as well)
    STDMETHODIMP Run() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP GetState(LONG msTimeout, OAFilterState *pfs) override;
    STDMETHODIMP RenderFile(BSTR strFilename) override;
    STDMETHODIMP AddSourceFilter(BSTR, IDispatch **) override { return E_NOTIMPL; }
    STDMETHODIMP get_FilterCollection(IDispatch **) override { return E_NOTIMPL; }
    STDMETHODIMP get_RegFilterCollection(IDispatch **) override { return E_NOTIMPL; }
    STDMETHODIMP StopWhenReady() override;

    // IMediaEvent, IMediaEventEx
    STDMETHODIMP GetEventHandle(OAEVENT *hEvent) override;
    STDMETHODIMP GetEvent(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2, LONG msTimeout) override;
    STDMETHODIMP WaitForCompletion(LONG msTimeout, LONG *pEvCode) override;
    STDMETHODIMP CancelDefaultHandling(LONG lEvCode) override;
    STDMETHODIMP RestoreDefaultHandling(LONG lEvCode) override;
    STDMETHODIMP FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
    STDMETHODIMP SetNotifyWindow(OAHWND hwnd, LONG, LONG_PTR) override { return hwnd ? E_NOTIMPL : S_OK; }
    STDMETHODIMP SetNotifyFlags(LONG lNoNotifyFlags) override;
    STDMETHODIMP GetNotifyFlags(LONG *lplNoNotifyFlags) override;

    // IMediaEventSink
    STDMETHODIMP Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

    // IMediaSeeking, in reference time only.
    STDMETHODIMP GetCapabilities(DWORD *pCapabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD *pCapabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID *pFormat) override;
    STDMETHODIMP QueryPreferredFormat(GUID *pFormat) override;
    STDMETHODIMP GetTimeFormat(GUID *pFormat) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID *pFormat) override;
    STDMETHODIMP SetTimeFormat(const GUID *pFormat) override;
    STDMETHODIMP GetDuration(LONGLONG *pDuration) override;
    STDMETHODIMP GetStopPosition(LONGLONG *pStop) override;
    // With a clock: the last seek's position plus the stream time; without
    // one, the earliest position the seekable pins report.
    STDMETHODIMP GetCurrentPosition(LONGLONG *pCurrent) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                   const GUID *pSourceFormat) override;
    // Pauses a running graph, seeks every pin upstream of a renderer (one
    // success is enough; E_NOTIMPL answers are ignored), restarts stream time
    // and completion, and runs again.
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG *pCurrent, LONGLONG *pStop) override;
    STDMETHODIMP GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;
    STDMETHODIMP SetRate(double dRate) override;
    STDMETHODIMP GetRate(double *pdRate) override;
    STDMETHODIMP GetPreroll(LONGLONG *pllPreroll) override;

    // IMediaFilter, IPersist
    STDMETHODIMP GetClassID(CLSID *pClassID) override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE *State) override;
    // A null clock makes the graph run as fast as its filters go.
    STDMETHODIMP SetSyncSource(IReferenceClock *pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock **pClock) override;

private:
    struct Member {
        IBaseFilter *filter; // one reference held
        std::wstring name;
    };

    // graph_membership.cpp
    bool contains(IBaseFilter *filter);
    bool pinInGraph(IPin *pin);
    std::vector<IBaseFilter *> filterList();
    std::wstring uniqueName(const std::wstring &wanted);
    void removeMember(size_t index);

    // graph_connect.cpp
    HRESULT tryDirect(IPin *out, IPin *in);
    HRESULT connectThrough(IPin *out, IPin *in, int depth, std::vector<CLSID> &chain);
    HRESULT renderPin(IPin *out, int depth, std::vector<CLSID> &chain);
    HRESULT renderOutputs(IBaseFilter *filter, int depth, std::vector<CLSID> &chain);
    HRESULT checkPins(IPin *out, IPin *in);
    void backOut(IBaseFilter *filter);

    // graph_control.cpp
    HRESULT pauseLocked();
    HRESULT runLocked(bool explicitStart, REFERENCE_TIME tStart);
    HRESULT stopLocked();
    void chooseClockLocked();
    void restartPlaybackLocked();
    REFERENCE_TIME clockTime();

    // graph_seeking.cpp
    std::vector<IMediaSeeking *> seekers(); // each with one reference

    CCritSec m_GraphLock;
    std::vector<Member> m_members;
    FILTER_STATE m_state = State_Stopped;
    IReferenceClock *m_pClock = nullptr; // one reference held
    bool m_clockChosen = false;          // set by the application or picked once
    REFERENCE_TIME m_tStart = 0;         // clock time of stream time 0
    REFERENCE_TIME m_tPaused = 0;        // clock time when the run was paused
    bool m_streamTimeRestarts = true;    // the next run starts stream time at 0
    LONGLONG m_segmentStart = 0;         // the position stream time 0 stands for
    double m_rate = 1.0;
    GraphEvents m_events;
};

} // namespace orvex::graph
