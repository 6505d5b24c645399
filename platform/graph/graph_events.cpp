// The event queue and completion counting.
#include "graph_events.h"

#include <control.h>
#include <evcode.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <chrono>

namespace orvex::graph {

GraphEvents::GraphEvents() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

GraphEvents::~GraphEvents()
{
    if (m_handle) CloseHandle(m_handle);
}

bool GraphEvents::endsPlayback(LONG code)
{
    return code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT;
}

void GraphEvents::pushLocked(const GraphEvent &event)
{
    if (m_notifyFlags & AM_MEDIAEVENT_NONOTIFY) return;
    m_queue.push_back(event);
    SetEvent(m_handle);
    m_changed.notify_all();
}

void GraphEvents::StartPlayback(const std::vector<void *> &renderers)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_active = true;
    m_rendererIds = renderers;
    m_renderers = renderers.size();
    m_completed.clear();
    m_anonymousCompletions = 0;
    m_completionStatus = S_OK;
    m_completeSent = false;
    // Completions queued by an earlier playback no longer apply.
    std::erase_if(m_queue, [](const GraphEvent &e) { return e.code == EC_COMPLETE; });
    if (m_queue.empty()) ResetEvent(m_handle);
    if (m_renderers == 0 && m_defaultComplete) {
        m_completeSent = true;
        pushLocked({EC_COMPLETE, S_OK, 0});
    }
}

void GraphEvents::Stopped()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_active = false;
    ++m_generation;
    std::erase_if(m_queue, [](const GraphEvent &e) { return e.code == EC_COMPLETE; });
    if (m_queue.empty()) ResetEvent(m_handle);
    m_changed.notify_all();
}

void GraphEvents::Notify(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (code != EC_COMPLETE || !m_defaultComplete) {
        pushLocked({code, param1, param2});
        return;
    }
    // A renderer's completion: late ones of a stopped playback are dropped.
    if (!m_active || m_completeSent) return;
    void *sender = reinterpret_cast<void *>(param2);
    if (sender && std::find(m_rendererIds.begin(), m_rendererIds.end(), sender) != m_rendererIds.end()) {
        m_completed.insert(sender);
    } else {
        ++m_anonymousCompletions;
    }
    if (FAILED(static_cast<HRESULT>(param1)) && SUCCEEDED(m_completionStatus))
        m_completionStatus = static_cast<HRESULT>(param1);
    if (m_completed.size() + m_anonymousCompletions >= m_renderers) {
        m_completeSent = true;
        pushLocked({EC_COMPLETE, m_completionStatus, 0});
    }
}

HRESULT GraphEvents::GetEvent(LONG *code, LONG_PTR *param1, LONG_PTR *param2, LONG msTimeout)
{
    if (!code || !param1 || !param2) return E_POINTER;
    *code = 0;
    *param1 = *param2 = 0;
    std::unique_lock<std::mutex> lock(m_lock);
    auto ready = [this] { return !m_queue.empty(); };
    if (msTimeout < 0) {
        m_changed.wait(lock, ready);
    } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(msTimeout), ready)) {
        return E_ABORT;
    }
    GraphEvent e = m_queue.front();
    m_queue.pop_front();
    if (m_queue.empty()) ResetEvent(m_handle);
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT GraphEvents::WaitForCompletion(LONG msTimeout, LONG *code)
{
    if (!code) return E_POINTER;
    *code = 0;
    std::unique_lock<std::mutex> lock(m_lock);
    unsigned generation = m_generation;
    auto ending = [this] {
        return std::find_if(m_queue.begin(), m_queue.end(), [](const GraphEvent &e) { return endsPlayback(e.code); });
    };
    auto done = [&] { return ending() != m_queue.end() || !m_active || m_generation != generation; };
    if (msTimeout < 0) {
        m_changed.wait(lock, done);
    } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(msTimeout), done)) {
        return E_ABORT;
    }
    auto it = ending();
    if (it == m_queue.end()) return VFW_E_WRONG_STATE;
    *code = it->code;
    m_queue.erase(it);
    if (m_queue.empty()) ResetEvent(m_handle);
    return S_OK;
}

HRESULT GraphEvents::CancelDefaultHandling(LONG code)
{
    if (code != EC_COMPLETE) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    m_defaultComplete = false;
    return S_OK;
}

HRESULT GraphEvents::RestoreDefaultHandling(LONG code)
{
    if (code != EC_COMPLETE) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    m_defaultComplete = true;
    return S_OK;
}

HRESULT GraphEvents::SetNotifyFlags(LONG flags)
{
    if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    m_notifyFlags = flags;
    if (flags & AM_MEDIAEVENT_NONOTIFY) {
        m_queue.clear();
        ResetEvent(m_handle);
    }
    return S_OK;
}

LONG GraphEvents::NotifyFlags()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_notifyFlags;
}

} // namespace orvex::graph
