// A renderer for the decode filter's tests: it accepts video of one subtype,
// keeps a copy of every sample it
// receives with its times and the type in force, and can fail, block, hold
// pictures while paused as a renderer does, or
// attach a new media type to the next sample its allocator hands out, as a
// video renderer does when it changes its surface.
#pragma once

#include <streams.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

struct SinkPicture {
    std::vector<BYTE> bytes; // the whole buffer
    HRESULT timeResult = E_FAIL;
    REFERENCE_TIME start = 0, stop = 0;
    bool hasMediaTime = false;
    LONGLONG mediaStart = 0, mediaStop = 0;
    CMediaType type; // the pin's type when the sample came
};

struct SinkSegment {
    REFERENCE_TIME start, stop;
    double rate;
    size_t picturesBefore; // pictures received before it
};

class CTestSinkPin;

class CTestSink : public CBaseFilter {
public:
    // A new sink with one reference.
    static CTestSink *Create();

    int GetPinCount() override { return 1; }
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    CBasePin *GetPin(int n) override;
    IPin *Pin();

    // Set before connecting: the accepted subtype.
    void AcceptSubtype(const GUID &subtype);
    // Receive answers hr from the n-th picture on (0-based), until Reset.
    void FailFrom(size_t n, HRESULT hr);
    // Receive waits before taking a picture until Unblock, a flush or a stop.
    void Block();
    void Unblock();
    // Set before running: Receive waits while the filter is paused, until it
    // runs, a flush or a stop, as a renderer holds its first picture.
    void HoldWhilePaused();
    // The next sample the allocator hands out carries this type.
    void AttachToNextSample(const CMediaType &type);
    // Buffers of at least this size are asked for at connection.
    void RequireBufferSize(LONG bytes);
    void Reset();

    std::vector<SinkPicture> Pictures();
    size_t PictureCount();
    std::vector<SinkSegment> Segments();
    int EndOfStreamCount();
    // How many pictures were received before the first end of stream; -1 before it.
    long PicturesBeforeEndOfStream();
    // Waits (at most timeoutMs) until the end of the stream came.
    bool WaitForEndOfStream(DWORD timeoutMs);
    // Waits (at most timeoutMs) until done(pictures, segments) holds; it is
    // asked again after every picture and segment.
    bool WaitUntil(const std::function<bool(const std::vector<SinkPicture> &, const std::vector<SinkSegment> &)> &done,
                   DWORD timeoutMs);
    // Waits until a Receive is blocked.
    bool WaitUntilBlocked(DWORD timeoutMs);

private:
    friend class CTestSinkPin;
    CTestSink();
    ~CTestSink() override;

    HRESULT Check(const CMediaType *pmt);
    HRESULT Take(IMediaSample *pSample, const CMediaType &type);

    CCritSec m_filterLock;
    CTestSinkPin *m_pPin;
    std::mutex m_lock;
    std::condition_variable m_changed; // a picture or segment came
    bool m_holdWhilePaused = false;
    GUID m_subtype{};
    LONG m_bufferSize = 0;
    size_t m_failFrom = SIZE_MAX;
    HRESULT m_failure = S_OK;
    std::vector<SinkPicture> m_pictures;
    std::vector<SinkSegment> m_segments;
    int m_endOfStreams = 0;
    long m_picturesBeforeEnd = -1;
    CAMEvent m_ended{TRUE};
    CAMEvent m_open{TRUE};    // set: Receive goes on
    CAMEvent m_blocked{TRUE}; // set: a Receive waits at the gate
    CAMEvent m_wake{TRUE};    // set by a flush or a stop
    CAMEvent m_running{TRUE}; // set while the filter runs
};
