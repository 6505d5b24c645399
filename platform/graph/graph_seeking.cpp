// Seeking at graph level: every question goes to the pins upstream of the
// renderers, which is where a stream can be repositioned.
#include "filter_graph.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>

#include "pin_helpers.h"

namespace orvex::graph {

namespace {

bool isMediaTime(const GUID *format)
{
    return format && *format == TIME_FORMAT_MEDIA_TIME;
}

class Seekers {
public:
    explicit Seekers(std::vector<IMediaSeeking *> list) : m_list(std::move(list)) {}
    ~Seekers()
    {
        for (IMediaSeeking *s : m_list)
            s->Release();
    }
    Seekers(const Seekers &) = delete;
    Seekers &operator=(const Seekers &) = delete;
    const std::vector<IMediaSeeking *> &list() const { return m_list; }
    bool empty() const { return m_list.empty(); }

    // The largest value any seeker answers; E_NOTIMPL when none answers.
    template <class Ask> HRESULT largest(LONGLONG *out, Ask ask) const
    {
        HRESULT result = E_NOTIMPL;
        for (IMediaSeeking *s : m_list) {
            LONGLONG v = 0;
            if (FAILED(ask(s, &v))) continue;
            *out = SUCCEEDED(result) ? std::max(*out, v) : v;
            result = S_OK;
        }
        return result;
    }

private:
    std::vector<IMediaSeeking *> m_list;
};

} // namespace

std::vector<IMediaSeeking *> CFilterGraph::seekers()
{
    std::vector<IMediaSeeking *> found;
    std::vector<IUnknown *> identities;
    for (IBaseFilter *f : filterList()) {
        if (!IsRenderer(f)) continue;
        for (const ComPtr<IPin> &in : FilterPins(f, PINDIR_INPUT)) {
            ComPtr<IPin> upstream = ConnectedPin(in.Get());
            if (!upstream) continue;
            IMediaSeeking *seeking = nullptr;
            if (FAILED(upstream->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&seeking))) || !seeking)
                continue;
            ComPtr<IUnknown> id;
            seeking->QueryInterface(IID_IUnknown, &id);
            if (std::find(identities.begin(), identities.end(), id.Get()) != identities.end()) {
                seeking->Release();
                continue;
            }
            identities.push_back(id.Get());
            found.push_back(seeking);
        }
    }
    return found;
}

STDMETHODIMP CFilterGraph::GetCapabilities(DWORD *pCapabilities)
{
    CheckPointer(pCapabilities, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    if (s.empty()) return E_NOTIMPL;
    DWORD all = ~0u;
    bool any = false;
    for (IMediaSeeking *seeker : s.list()) {
        DWORD caps = 0;
        if (FAILED(seeker->GetCapabilities(&caps))) continue;
        all &= caps;
        any = true;
    }
    if (!any) return E_NOTIMPL;
    *pCapabilities = all;
    return S_OK;
}

STDMETHODIMP CFilterGraph::CheckCapabilities(DWORD *pCapabilities)
{
    CheckPointer(pCapabilities, E_POINTER);
    DWORD caps = 0;
    HRESULT hr = GetCapabilities(&caps);
    if (FAILED(hr)) return hr;
    DWORD wanted = *pCapabilities;
    if ((wanted & caps) == wanted) return S_OK;
    if ((wanted & caps) == 0) return E_FAIL;
    *pCapabilities = wanted & caps;
    return S_FALSE;
}

STDMETHODIMP CFilterGraph::IsFormatSupported(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    return isMediaTime(pFormat) ? S_OK : S_FALSE;
}

STDMETHODIMP CFilterGraph::QueryPreferredFormat(GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetTimeFormat(GUID *pFormat)
{
    return QueryPreferredFormat(pFormat);
}

STDMETHODIMP CFilterGraph::IsUsingTimeFormat(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    return isMediaTime(pFormat) ? S_OK : S_FALSE;
}

STDMETHODIMP CFilterGraph::SetTimeFormat(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    if (m_state != State_Stopped) return VFW_E_WRONG_STATE;
    return isMediaTime(pFormat) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CFilterGraph::ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                             const GUID *pSourceFormat)
{
    CheckPointer(pTarget, E_POINTER);
    // A null format is the one in use, which is always media time.
    if ((pTargetFormat && !isMediaTime(pTargetFormat)) || (pSourceFormat && !isMediaTime(pSourceFormat)))
        return E_INVALIDARG;
    *pTarget = Source;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetDuration(LONGLONG *pDuration)
{
    CheckPointer(pDuration, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    return s.largest(pDuration, [](IMediaSeeking *seeker, LONGLONG *v) { return seeker->GetDuration(v); });
}

STDMETHODIMP CFilterGraph::GetStopPosition(LONGLONG *pStop)
{
    CheckPointer(pStop, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    return s.largest(pStop, [](IMediaSeeking *seeker, LONGLONG *v) { return seeker->GetStopPosition(v); });
}

STDMETHODIMP CFilterGraph::GetCurrentPosition(LONGLONG *pCurrent)
{
    CheckPointer(pCurrent, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    if (m_pClock) {
        REFERENCE_TIME streamTime = 0;
        if (!m_streamTimeRestarts && m_state != State_Stopped) {
            REFERENCE_TIME now = m_state == State_Running ? clockTime() : m_tPaused;
            streamTime = std::max<REFERENCE_TIME>(0, now - m_tStart);
        }
        LONGLONG position = m_segmentStart + streamTime;
        LONGLONG stop = 0;
        Seekers s(seekers());
        if (SUCCEEDED(s.largest(&stop, [](IMediaSeeking *seeker, LONGLONG *v) { return seeker->GetStopPosition(v); })))
            position = std::min(position, stop);
        *pCurrent = position;
        return S_OK;
    }
    // Without a clock the streams go as fast as they can: the slowest one
    // tells how far the playback has come.
    Seekers s(seekers());
    HRESULT result = E_NOTIMPL;
    for (IMediaSeeking *seeker : s.list()) {
        LONGLONG v = 0;
        if (FAILED(seeker->GetCurrentPosition(&v))) continue;
        *pCurrent = SUCCEEDED(result) ? std::min(*pCurrent, v) : v;
        result = S_OK;
    }
    if (FAILED(result)) {
        *pCurrent = m_segmentStart;
        result = S_OK;
    }
    return result;
}

STDMETHODIMP CFilterGraph::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags)
{
    DWORD currentPositioning = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
    DWORD stopPositioning = dwStopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentPositioning && !pCurrent) || (stopPositioning && !pStop)) return E_POINTER;
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    if (s.empty()) return E_NOTIMPL;

    LONGLONG position = 0;
    if (currentPositioning != AM_SEEKING_NoPositioning) GetCurrentPosition(&position);
    LONGLONG requested = pCurrent ? *pCurrent : 0; // before a seeker writes back its time
    bool wasRunning = m_state == State_Running;
    if (wasRunning) {
        HRESULT hr = pauseLocked();
        if (FAILED(hr)) return hr;
    }

    HRESULT result = E_NOTIMPL;
    bool done = false;
    for (IMediaSeeking *seeker : s.list()) {
        LONGLONG current = pCurrent ? *pCurrent : 0, stop = pStop ? *pStop : 0;
        HRESULT hr =
            seeker->SetPositions(pCurrent ? &current : nullptr, dwCurrentFlags, pStop ? &stop : nullptr, dwStopFlags);
        if (SUCCEEDED(hr)) {
            if (!done) {
                // The first answer is the one handed back.
                result = hr;
                if ((dwCurrentFlags & AM_SEEKING_ReturnTime) && pCurrent) *pCurrent = current;
                if ((dwStopFlags & AM_SEEKING_ReturnTime) && pStop) *pStop = stop;
            }
            done = true;
        } else if (!done && hr != E_NOTIMPL) {
            result = hr;
        }
    }

    if (done && currentPositioning != AM_SEEKING_NoPositioning) {
        m_segmentStart = currentPositioning == AM_SEEKING_AbsolutePositioning ? requested : position + requested;
    }
    if (done && m_state != State_Stopped) restartPlaybackLocked(); // the streams start over from here
    if (wasRunning) {
        HRESULT hr = runLocked(false, 0);
        if (FAILED(hr)) return hr;
    }
    return result;
}

STDMETHODIMP CFilterGraph::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    if (pCurrent) {
        HRESULT hr = GetCurrentPosition(pCurrent);
        if (FAILED(hr)) return hr;
    }
    if (pStop) return GetStopPosition(pStop);
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    for (IMediaSeeking *seeker : s.list()) {
        LONGLONG earliest = 0, latest = 0;
        if (SUCCEEDED(seeker->GetAvailable(&earliest, &latest))) {
            if (pEarliest) *pEarliest = earliest;
            if (pLatest) *pLatest = latest;
            return S_OK;
        }
    }
    return E_NOTIMPL;
}

STDMETHODIMP CFilterGraph::SetRate(double dRate)
{
    if (!(dRate > 0)) return E_INVALIDARG;
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    HRESULT result = E_NOTIMPL;
    for (IMediaSeeking *seeker : s.list()) {
        HRESULT hr = seeker->SetRate(dRate);
        if (SUCCEEDED(hr)) result = hr;
    }
    if (SUCCEEDED(result)) m_rate = dRate;
    return result;
}

STDMETHODIMP CFilterGraph::GetRate(double *pdRate)
{
    CheckPointer(pdRate, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    *pdRate = m_rate;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetPreroll(LONGLONG *pllPreroll)
{
    CheckPointer(pllPreroll, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    Seekers s(seekers());
    for (IMediaSeeking *seeker : s.list()) {
        if (SUCCEEDED(seeker->GetPreroll(pllPreroll))) return S_OK;
    }
    return E_NOTIMPL;
}

} // namespace orvex::graph
