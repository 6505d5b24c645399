// The sample grabber.
#include "sample_grabber.h"

#include <vfwmsgs.h>

#include <cstring>
#include <new>

namespace orvex::graph {

CUnknown *WINAPI CSampleGrabber::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    HRESULT hr = S_OK;
    auto *grabber = new (std::nothrow) CSampleGrabber(pUnk, &hr);
    if (grabber && FAILED(hr)) {
        delete grabber;
        grabber = nullptr;
    }
    if (!grabber && phr) *phr = FAILED(hr) ? hr : E_OUTOFMEMORY;
    return grabber;
}

CSampleGrabber::CSampleGrabber(LPUNKNOWN pUnk, HRESULT *phr)
    : CStockRenderer(NAME("SampleGrabber"), pUnk, CLSID_SampleGrabber, phr)
{
    m_accepted.InitMediaType();
}

CSampleGrabber::~CSampleGrabber()
{
    if (m_pCallback) m_pCallback->Release();
}

STDMETHODIMP CSampleGrabber::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_ISampleGrabber) return GetInterface(static_cast<ISampleGrabber *>(this), ppv);
    return CStockRenderer::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CSampleGrabber::CheckMediaType(const CMediaType *pmt)
{
    std::lock_guard<std::mutex> guard(m_settingsLock);
    return pmt->MatchesPartial(&m_accepted) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

STDMETHODIMP CSampleGrabber::SetOneShot(BOOL OneShot)
{
    std::lock_guard<std::mutex> guard(m_settingsLock);
    m_oneShot = OneShot != FALSE;
    return S_OK;
}

STDMETHODIMP CSampleGrabber::SetMediaType(const AM_MEDIA_TYPE *pType)
{
    CheckPointer(pType, E_POINTER);
    CMediaType type;
    HRESULT hr = type.Set(*pType);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> guard(m_settingsLock);
    m_accepted = type;
    return S_OK;
}

STDMETHODIMP CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE *pType)
{
    CheckPointer(pType, E_POINTER);
    return m_pInputPin->ConnectionMediaType(pType);
}

STDMETHODIMP CSampleGrabber::SetBufferSamples(BOOL BufferThem)
{
    std::lock_guard<std::mutex> guard(m_settingsLock);
    m_bufferSamples = BufferThem != FALSE;
    if (!m_bufferSamples) {
        m_haveBuffer = false;
        m_buffer.clear();
    }
    return S_OK;
}

STDMETHODIMP CSampleGrabber::GetCurrentBuffer(LONG *pBufferSize, LONG *pBuffer)
{
    CheckPointer(pBufferSize, E_POINTER);
    std::lock_guard<std::mutex> guard(m_settingsLock);
    if (!m_bufferSamples) return E_INVALIDARG;
    if (!m_haveBuffer) return VFW_E_WRONG_STATE;
    LONG size = static_cast<LONG>(m_buffer.size());
    if (!pBuffer) {
        *pBufferSize = size;
        return S_OK;
    }
    if (*pBufferSize < size) return E_OUTOFMEMORY;
    if (size) std::memcpy(pBuffer, m_buffer.data(), m_buffer.size());
    *pBufferSize = size;
    return S_OK;
}

STDMETHODIMP CSampleGrabber::SetCallback(ISampleGrabberCB *pCallback, LONG WhichMethodToCallback)
{
    if (WhichMethodToCallback != 0 && WhichMethodToCallback != 1) return E_INVALIDARG;
    if (pCallback) pCallback->AddRef();
    ISampleGrabberCB *old;
    {
        std::lock_guard<std::mutex> guard(m_settingsLock);
        old = m_pCallback;
        m_pCallback = pCallback;
        m_whichCallback = WhichMethodToCallback;
    }
    if (old) old->Release();
    return S_OK;
}

HRESULT CSampleGrabber::RenderSample(IMediaSample *pSample, REFERENCE_TIME start, bool hasTime)
{
    BYTE *data = nullptr;
    HRESULT hr = pSample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    LONG length = pSample->GetActualDataLength();
    if (length < 0 || length > pSample->GetSize()) return VFW_E_BUFFER_OVERFLOW;

    ISampleGrabberCB *callback;
    LONG which;
    bool oneShot;
    {
        std::lock_guard<std::mutex> guard(m_settingsLock);
        callback = m_pCallback;
        if (callback) callback->AddRef();
        which = m_whichCallback;
        oneShot = m_oneShot;
        if (m_bufferSamples) {
            m_buffer.assign(data, data + length);
            m_haveBuffer = true;
        }
    }
    // The callback runs without the settings lock, so it may change them.
    if (callback) {
        double time = hasTime ? static_cast<double>(start) / UNITS : 0.0;
        if (which == 0) {
            callback->SampleCB(time, pSample);
        } else {
            callback->BufferCB(time, data, length);
        }
        callback->Release();
    }
    if (oneShot) {
        CompleteStream();
        return S_FALSE;
    }
    return S_OK;
}

} // namespace orvex::graph
