// CBaseFilter: a filter's IBaseFilter, IMediaFilter and IAMovieSetup: its
// state and the state changes of its pins, the reference clock and stream
// time, the pin list (GetPinCount/GetPin of the derived class) with its
// version, the filter graph it joined and the events it sends there.
#pragma once

#include <atomic>

#include "combase.h"
#include "reftime.h"
#include "wxutil.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
    friend class CBasePin;

protected:
    // Read without the lock by the pins' streaming checks.
    std::atomic<FILTER_STATE> m_State;
    IReferenceClock *m_pClock; // one reference held
    CRefTime m_tStart;         // the running start given to Run
    CLSID m_clsid;
    CCritSec *m_pLock;        // the filter lock, owned by the derived class
    WCHAR *m_pName;           // the name given by JoinFilterGraph
    IFilterGraph *m_pGraph;   // not counted: the graph owns the filter
    IMediaEventSink *m_pSink; // the graph's event sink, not counted
    LONG m_PinVersion;

public:
    CBaseFilter(CObjectName pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid);
    CBaseFilter(CObjectName pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid, HRESULT *phr);
    ~CBaseFilter();

    DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter, IPersist and IAMovieSetup.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);

    STDMETHODIMP GetClassID(CLSID *pClsID);

    STDMETHODIMP GetState(DWORD dwMSecs, FILTER_STATE *State);
    STDMETHODIMP SetSyncSource(IReferenceClock *pClock);
    STDMETHODIMP GetSyncSource(IReferenceClock **pClock);

    // Stopped from paused or running: every connected pin goes Inactive
    // (the first failure is returned after all have been told).
    STDMETHODIMP Stop();
    // Paused from stopped: every connected pin goes Active; the first
    // failure ends the change with the filter still stopped.
    STDMETHODIMP Pause();
    // Records tStart, pauses first if stopped, then calls Run on every
    // connected pin.
    STDMETHODIMP Run(REFERENCE_TIME tStart);

    // The clock's time minus the running start; VFW_E_NO_CLOCK (and
    // rtStream unchanged) without a clock.
    virtual HRESULT StreamTime(CRefTime &rtStream);

    BOOL IsActive();
    BOOL IsStopped() { return m_State == State_Stopped; }

    STDMETHODIMP EnumPins(IEnumPins **ppEnum);
    // The pin whose name is Id; VFW_E_NOT_FOUND otherwise.
    STDMETHODIMP FindPin(LPCWSTR Id, IPin **ppPin);
    STDMETHODIMP QueryFilterInfo(FILTER_INFO *pInfo);
    // Remembers the graph (not counted) and its IMediaEventSink, and a copy
    // of the name; a null graph leaves the graph.
    STDMETHODIMP JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName);
    STDMETHODIMP QueryVendorInfo(LPWSTR *pVendorInfo);

    // Sends an event to the graph; EC_COMPLETE carries this filter as its
    // second parameter. E_NOTIMPL outside a graph with an event sink.
    HRESULT NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);
    IFilterGraph *GetFilterGraph() { return m_pGraph; }
    // Asks the graph to reconnect pPin (with pmt through IFilterGraph2).
    HRESULT ReconnectPin(IPin *pPin, AM_MEDIA_TYPE const *pmt);

    virtual LONG GetPinVersion();
    void IncrementPinVersion();

    virtual int GetPinCount() PURE;
    // The n-th pin, not counted; NULL past the last one.
    virtual CBasePin *GetPin(int n) PURE;

    // Registers the setup data through the system's IFilterMapper.
    STDMETHODIMP Register();
    STDMETHODIMP Unregister();
    virtual LPAMOVIESETUP_FILTER GetSetupData() { return NULL; }
};
