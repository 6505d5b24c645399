// A renderer of our own for the parser tests: it records what reaches its
// input pin (segments, flushes, ends of stream, samples) and can block in
// Receive or keep the samples it gets, as a slow or greedy downstream does.
#pragma once

#include <streams.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvex::test {

struct SampleRecord {
    bool hasTime = false;
    REFERENCE_TIME start = 0, stop = 0;
    bool hasMediaTime = false;
    LONGLONG mediaStart = 0, mediaStop = 0;
    bool sync = false, discontinuity = false;
    DWORD streamId = 0;
    std::vector<BYTE> bytes;
};
SampleRecord recordSample(IMediaSample *sample);

class RecordingSink : public CBaseFilter {
public:
    // A new sink with one reference.
    static RecordingSink *create();
    ~RecordingSink() override;

    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override;

    // "segment START STOP", "flush", "endflush", "eos", "sample ID START" in order.
    std::vector<std::string> events();
    std::vector<SampleRecord> samples();
    // Waits (within a bound against hangs) until the events satisfy done.
    bool waitUntil(const std::function<bool(const std::vector<std::string> &)> &done, DWORD boundMs = 20000);

    // The sampleNumber-th sample received (from 1) records "blocked" and
    // waits in Receive for a flush or a stop.
    void blockAt(size_t sampleNumber);
    // While set, every sample received is kept, so the allocator runs dry.
    void holdSamples(bool on);
    void releaseHeld();
    // Each Receive takes this long first, as a renderer that keeps time does.
    void pace(DWORD milliseconds);
    // Also records "pause", "run" and "inactive" (once the allocator is decommitted).
    void recordStateChanges();
    // As a renderer does, a sample that comes while paused records "held" and
    // waits for Run (S_OK), a flush (S_FALSE) or a stop.
    void holdWhilePaused();
    // The next Disconnect of the pin waits, holding the pin lock, until a
    // second Disconnect call comes in.
    void holdNextDisconnect();
    // At the next end of the stream the pin waits for a flush, then asks the
    // upstream pin's IMediaSeeking for its stop position: "stop POSITION".
    void askStopPositionAtEndOfStream();

    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

private:
    class Pin;
    friend class Pin;
    RecordingSink();
    void note(const std::string &event, const SampleRecord *sample = nullptr);
    HRESULT receive(IMediaSample *sample);
    void wake();
    void noteState(const char *event, FILTER_STATE state);
    HRESULT holdIfPaused(std::unique_lock<std::mutex> &guard);
    void disconnecting();
    void endOfStream();

    CCritSec m_Lock;
    Pin *m_pPin;
    std::mutex m_logLock;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
    std::vector<SampleRecord> m_samples;
    std::vector<IMediaSample *> m_held;
    bool m_hold = false, m_woken = false;
    size_t m_blockAt = 0;
    DWORD m_paceMs = 0;
    bool m_recordStates = false, m_holdWhilePaused = false, m_holdDisconnect = false, m_askStop = false;
    FILTER_STATE m_state = State_Stopped; // as this sink's own state changes set it
    bool m_flushing = false;
    size_t m_disconnects = 0;
};

} // namespace orvex::test
