// The automation-style interfaces an application drives a filter graph with:
// IMediaControl, IMediaEvent(Ex) and IMediaPosition.
#pragma once

#include "strmif.h"

typedef LONG OAFilterState;
typedef LONG_PTR OAEVENT;
typedef LONG_PTR OAHWND;

// IMediaEventEx::SetNotifyFlags: no events are queued.
#define AM_MEDIAEVENT_NONOTIFY 0x01

DEFINE_GUID(IID_IMediaControl, 0x56a868b1, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaPosition, 0x56a868b2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);
DEFINE_GUID(IID_IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70);

struct IMediaControl : public IDispatch {
    STDMETHOD(Run)() PURE;
    STDMETHOD(Pause)() PURE;
    STDMETHOD(Stop)() PURE;
    STDMETHOD(GetState)(LONG msTimeout, OAFilterState *pfs) PURE;
    STDMETHOD(RenderFile)(BSTR strFilename) PURE;
    STDMETHOD(AddSourceFilter)(BSTR strFilename, IDispatch **ppUnk) PURE;
    STDMETHOD(get_FilterCollection)(IDispatch **ppUnk) PURE;
    STDMETHOD(get_RegFilterCollection)(IDispatch **ppUnk) PURE;
    STDMETHOD(StopWhenReady)() PURE;
};

struct IMediaEvent : public IDispatch {
    STDMETHOD(GetEventHandle)(OAEVENT *hEvent) PURE;
    STDMETHOD(GetEvent)(LONG *lEventCode, LONG_PTR *lParam1, LONG_PTR *lParam2, LONG msTimeout) PURE;
    STDMETHOD(WaitForCompletion)(LONG msTimeout, LONG *pEvCode) PURE;
    STDMETHOD(CancelDefaultHandling)(LONG lEvCode) PURE;
    STDMETHOD(RestoreDefaultHandling)(LONG lEvCode) PURE;
    STDMETHOD(FreeEventParams)(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) PURE;
};

struct IMediaEventEx : public IMediaEvent {
    STDMETHOD(SetNotifyWindow)(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) PURE;
    STDMETHOD(SetNotifyFlags)(LONG lNoNotifyFlags) PURE;
    STDMETHOD(GetNotifyFlags)(LONG *lplNoNotifyFlags) PURE;
};

struct IMediaPosition : public IDispatch {
    STDMETHOD(get_Duration)(REFTIME *plength) PURE;
    STDMETHOD(put_CurrentPosition)(REFTIME llTime) PURE;
    STDMETHOD(get_CurrentPosition)(REFTIME *pllTime) PURE;
    STDMETHOD(get_StopTime)(REFTIME *pllTime) PURE;
    STDMETHOD(put_StopTime)(REFTIME llTime) PURE;
    STDMETHOD(get_PrerollTime)(REFTIME *pllTime) PURE;
    STDMETHOD(put_PrerollTime)(REFTIME llTime) PURE;
    STDMETHOD(put_Rate)(double dRate) PURE;
    STDMETHOD(get_Rate)(double *pdRate) PURE;
    STDMETHOD(CanSeekForward)(LONG *pCanSeekForward) PURE;
    STDMETHOD(CanSeekBackward)(LONG *pCanSeekBackward) PURE;
};
