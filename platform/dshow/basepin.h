// CBasePin: IPin and IQualityControl for a pin of a CBaseFilter. It runs the
// connection protocol (Connect on the output side agrees a media type by
// trying the types of both pins, ReceiveConnection on the input side checks
// and completes), enumerates the pin's media types and keeps the current
// segment. A pin has no reference count of its own: AddRef and Release go
// to its filter.
#pragma once

#include <atomic>

#include "basefilter.h"
#include "mtype.h"

class CBasePin : public CUnknown, public IPin, public IQualityControl {
protected:
    WCHAR *m_pName;
    IPin *m_Connected; // the peer, one reference held
    PIN_DIRECTION m_dir;
    CCritSec *m_pLock;                 // the filter's lock
    std::atomic<bool> m_bRunTimeError; // set by a refused media type change, cleared by Inactive
    bool m_bCanReconnectWhenActive;
    bool m_bTryMyTypesFirst;
    CBaseFilter *m_pFilter;
    IQualityControl *m_pQSink; // where quality messages go, not counted
    LONG m_TypeVersion;        // changes when the offered types change
    CMediaType m_mt;           // the connection's media type
    CRefTime m_tStart;         // the segment NewSegment gave
    CRefTime m_tStop;
    double m_dRate;

    // Breaks the connection without the state check of Disconnect.
    virtual HRESULT DisconnectInternal();

    // One media type tried with pReceivePin: CheckConnect, CheckMediaType,
    // SetMediaType, the peer's ReceiveConnection, CompleteConnect; on any
    // failure the pin is left unconnected (BreakConnect).
    HRESULT AttemptConnection(IPin *pReceivePin, const CMediaType *pmt);
    // Every type of pEnum that matches the partial type pmt, in turn.
    HRESULT TryMediaTypes(IPin *pReceivePin, const CMediaType *pmt, IEnumMediaTypes *pEnum);
    // A fully specified pmt is the only type tried; otherwise the peer's
    // types, then this pin's (the other way round with m_bTryMyTypesFirst).
    HRESULT AgreeMediaType(IPin *pReceivePin, const CMediaType *pmt);

public:
    CBasePin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
             PIN_DIRECTION dir);
    virtual ~CBasePin();

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) NonDelegatingRelease();
    STDMETHODIMP_(ULONG) NonDelegatingAddRef();

    STDMETHODIMP Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt);
    STDMETHODIMP ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt);
    STDMETHODIMP Disconnect();
    STDMETHODIMP ConnectedTo(IPin **pPin);
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE *pmt);
    STDMETHODIMP QueryPinInfo(PIN_INFO *pInfo);
    STDMETHODIMP QueryDirection(PIN_DIRECTION *pPinDir);
    STDMETHODIMP QueryId(LPWSTR *Id);
    // S_OK or S_FALSE from CheckMediaType; any failure becomes S_FALSE.
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE *pmt);
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes **ppEnum);
    STDMETHODIMP QueryInternalConnections(IPin **apPin, ULONG *nPin);
    STDMETHODIMP EndOfStream(void);
    // Stores the segment in m_tStart, m_tStop and m_dRate.
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q);
    STDMETHODIMP SetSink(IQualityControl *piqc);

    BOOL IsConnected(void) { return m_Connected != NULL; }
    IPin *GetConnected() { return m_Connected; }
    BOOL IsStopped() { return m_pFilter->m_State == State_Stopped; }

    virtual LONG GetMediaTypeVersion();
    void IncrementTypeVersion();

    // State changes passed down by the filter for connected pins.
    virtual HRESULT Active(void);
    virtual HRESULT Inactive(void);
    virtual HRESULT Run(REFERENCE_TIME tStart);

    // S_OK for a type the pin accepts; anything else refuses it.
    virtual HRESULT CheckMediaType(const CMediaType *) PURE;
    virtual HRESULT SetMediaType(const CMediaType *);
    // Refuses a peer of the same direction.
    virtual HRESULT CheckConnect(IPin *);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin *pReceivePin);
    // The iPosition-th offered type: S_OK, VFW_S_NO_MORE_ITEMS past the
    // last; the base offers none (E_UNEXPECTED).
    virtual HRESULT GetMediaType(int iPosition, CMediaType *pMediaType);

    REFERENCE_TIME CurrentStopTime() { return m_tStop; }
    REFERENCE_TIME CurrentStartTime() { return m_tStart; }
    double CurrentRate() { return m_dRate; }
    LPWSTR Name() { return m_pName; }
    BOOL CanReconnectWhenActive() { return m_bCanReconnectWhenActive; }
    void SetReconnectWhenActive(bool bCanReconnect) { m_bCanReconnectWhenActive = bCanReconnect; }
    CMediaType &CurrentMediaType() { return m_mt; }
};
