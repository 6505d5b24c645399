// The MOV parser filter: one input pin ("XForm In") behind a file source,
// and, once a movie is loaded from the file the source names, one output pin
// for its H.264 video and one for its sound. The filter also tells the
// decode filter about the video stream through IOrvexMovParserH264Accessor.
//
// Locks, in order: m_Lock (the filter lock, recursive, shared with every pin
// of the filter), each output pin's delivery lock, then the leaves: an output
// pin's segment lock and the input pin's read lock. Downstream pins are
// called under the filter lock (connection, disconnection), never the other
// way round: an output pin's reference count takes no lock, so a downstream
// pin may release it under its own lock.
#pragma once

#include "MovFileParserFilter/MovieStreamLoader.h"
#include "common/IOrvexMovParserH264Accessor.h"

#include <streams.h>

class CMyParserInputPin;
class CMyParserOutputPin;

class COrvexMovFileParserFilter : public CBaseFilter, public IOrvexMovParserH264Accessor {
public:
    // The factory entry: a new filter without pins, or null with E_OUTOFMEMORY in *phr.
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    ~COrvexMovFileParserFilter() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    int GetPinCount() override;
    // 0 the input pin (made on first request), 1 the video pin, 2 the sound pin.
    CBasePin *GetPin(int n) override;

    // IOrvexMovParserH264Accessor. Without a loaded video stream, or with a
    // configuration record that holds no parameter sets, the first two answer
    // VFW_E_NOT_CONNECTED and the third null.
    STDMETHODIMP GetParameterSets(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS) override;
    STDMETHODIMP GetMediaInfo(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount) override;
    STDMETHODIMP_(CMyImageDescription *) GetImageDescription() override;

    // With a name: loads the movie and creates the output pins (the pins of an
    // earlier movie go first; on failure none are left). Without: releases
    // the output pins; S_OK.
    HRESULT setSource(LPCWSTR fileName);
    // Loads the movie at path into stream infos and hands them to pin
    // creation. A path that cannot be looked up gives the system's error;
    // anything else that fails gives E_INVALIDARG.
    HRESULT setSourceFile(LPCWSTR path);
    // Pins over loaded stream infos, which they take: the plain path and the
    // camera path.
    HRESULT createOutputPins(CMyMovieStreams &streams);
    HRESULT createCameraOutputPins(CMyMovieStreams &streams);
    // From an output pin whose count fell to 0, under m_Lock: deletes it.
    void outputPinReleased(CMyParserOutputPin *pin);

    // The seek of both output pins at once: new segment values, the
    // delivery threads paused and restarted, downstream flushed if asked
    // while the filter is active.
    void setStreamPositions(bool setStart, LONGLONG start, bool setStop, LONGLONG stop, bool flush);
    bool isVideoPinConnected();

    CMyParserInputPin *InputPin() const { return m_pInput; }
    CCritSec *FilterLock() { return &m_Lock; }

private:
    COrvexMovFileParserFilter(LPUNKNOWN pUnk, HRESULT *phr);
    HRESULT CreatePins(CMyMovieStreams &streams, bool camera);
    // Disconnects each output pin from downstream and drops the filter's reference on it.
    void ReleaseOutputPins();
    void ReleaseOutputPin(CMyParserOutputPin *&member);
    const CVideoMediaStreamInfo *VideoStreamInfo() const;

    CCritSec m_Lock;
    CMyParserInputPin *m_pInput;
    CMyParserOutputPin *m_pVideoPin;
    CMyParserOutputPin *m_pSoundPin;
};
