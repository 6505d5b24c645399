// The graph's event queue: what filters send through IMediaEventSink, as
// the application reads it through IMediaEventEx. EC_COMPLETE is counted per
// renderer; the application gets one EC_COMPLETE once every renderer of the
// playback has sent its own (unless it cancelled that handling).
// WaitForCompletion ends on that EC_COMPLETE, on EC_ERRORABORT or on
// EC_USERABORT, and takes the event it ends on from the queue.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

namespace orvex::graph {

struct GraphEvent {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

class GraphEvents {
public:
    GraphEvents();
    ~GraphEvents();
    GraphEvents(const GraphEvents &) = delete;
    GraphEvents &operator=(const GraphEvents &) = delete;

    // Manual-reset event, signaled while events wait in the queue.
    HANDLE Handle() const { return m_handle; }

    // A playback (re)starts with these renderers: completion is counted
    // afresh. With no renderer the playback is complete at once.
    void StartPlayback(const std::vector<void *> &renderers);
    // The graph stopped: completions of that playback are dropped and
    // WaitForCompletion gives up.
    void Stopped();

    // From a filter, on any thread.
    void Notify(LONG code, LONG_PTR param1, LONG_PTR param2);

    // E_ABORT after msTimeout ms (-1 waits without limit) with no event.
    HRESULT GetEvent(LONG *code, LONG_PTR *param1, LONG_PTR *param2, LONG msTimeout);
    // E_ABORT on timeout, VFW_E_WRONG_STATE when the graph is stopped.
    HRESULT WaitForCompletion(LONG msTimeout, LONG *code);

    // Only EC_COMPLETE has default handling to cancel (else E_INVALIDARG).
    HRESULT CancelDefaultHandling(LONG code);
    HRESULT RestoreDefaultHandling(LONG code);
    // AM_MEDIAEVENT_NONOTIFY: no events are queued.
    HRESULT SetNotifyFlags(LONG flags);
    LONG NotifyFlags();

private:
    void pushLocked(const GraphEvent &event);
    static bool endsPlayback(LONG code);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<GraphEvent> m_queue;
    HANDLE m_handle;
    bool m_active = false; // paused or running
    size_t m_renderers = 0;
    std::set<void *> m_completed;
    size_t m_anonymousCompletions = 0; // EC_COMPLETE without a known sender
    std::vector<void *> m_rendererIds;
    HRESULT m_completionStatus = S_OK;
    bool m_completeSent = false;
    bool m_defaultComplete = true;
    LONG m_notifyFlags = 0;
    unsigned m_generation = 0; // changes with every stop, to end the waits of that playback
};

} // namespace orvex::graph
