#include "MovFileParserFilter/OrvexMovFileParserFilter.h"

#include "MovFileParserFilter/MyParserInputPin.h"
#include "MovFileParserFilter/MyParserSoundOutputPin.h"
#include "MovFileParserFilter/MyParserVideoOutputPin.h"
#include "MyH264/MyAVCConfiguration.h"

#include <cwchar>
#include <new>

namespace {
// The path line of a load goes to the debugger output in a buffer of this
// many wide characters, the terminator included.
constexpr size_t kPathLineChars = 262;

void writePathLine(LPCWSTR path)
{
    WCHAR line[kPathLineChars];
    size_t n = 0;
    for (; path[n] && n < kPathLineChars - 1; ++n)
        line[n] = path[n];
    if (n < kPathLineChars - 1) line[n++] = L'\n';
    line[n] = L'\0';
    OutputDebugStringW(line);
}
} // namespace

CUnknown *WINAPI COrvexMovFileParserFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    auto *filter = new (std::nothrow) COrvexMovFileParserFilter(pUnk, phr);
    if (!filter && phr) *phr = E_OUTOFMEMORY;
    return filter;
}

COrvexMovFileParserFilter::COrvexMovFileParserFilter(LPUNKNOWN pUnk, HRESULT *phr)
    : CBaseFilter(NULL, pUnk, &m_Lock, CLSID_OrvexMovFileParserFilter, phr), m_pInput(nullptr), m_pVideoPin(nullptr),
      m_pSoundPin(nullptr)
{
}

COrvexMovFileParserFilter::~COrvexMovFileParserFilter()
{
    delete m_pInput;
    m_pInput = nullptr;
    // Nobody else holds the output pins now (a held pin keeps the filter
    // alive): dropping the filter's reference deletes them.
    CAutoLock lock(&m_Lock);
    if (CMyParserOutputPin *pin = m_pVideoPin) pin->ReleaseFilterReference();
    if (CMyParserOutputPin *pin = m_pSoundPin) pin->ReleaseFilterReference();
}

STDMETHODIMP COrvexMovFileParserFilter::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IOrvexMovParserH264Accessor)
        return GetInterface(static_cast<IOrvexMovParserH264Accessor *>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int COrvexMovFileParserFilter::GetPinCount()
{
    CAutoLock lock(&m_Lock);
    return 1 + (m_pVideoPin ? 1 : 0) + (m_pSoundPin ? 1 : 0);
}

CBasePin *COrvexMovFileParserFilter::GetPin(int n)
{
    CAutoLock lock(&m_Lock);
    if (!m_pInput) {
        HRESULT hr = S_OK;
        auto *pin = new (std::nothrow) CMyParserInputPin(this, &m_Lock, &hr);
        if (!pin) return nullptr;
        if (FAILED(hr)) {
            delete pin;
            return nullptr;
        }
        m_pInput = pin;
    }
    switch (n) {
    case 0:
        return m_pInput;
    case 1:
        return m_pVideoPin;
    case 2:
        return m_pSoundPin;
    default:
        return nullptr;
    }
}

HRESULT COrvexMovFileParserFilter::setSource(LPCWSTR fileName)
{
    CAutoLock lock(&m_Lock);
    ReleaseOutputPins();
    if (!fileName) return S_OK;
    HRESULT hr = setSourceFile(fileName);
    if (FAILED(hr)) ReleaseOutputPins();
    return hr;
}

HRESULT COrvexMovFileParserFilter::setSourceFile(LPCWSTR path)
{
    if (!path) return E_POINTER;
    writePathLine(path);
    CMyMovieStreams streams;
    HRESULT hr = LoadMovieStreams(path, &streams);
    if (FAILED(hr)) return hr;
    // Allocation failures while the pins are made refuse the movie like
    // any other failure of the load.
    try {
        return streams.camera ? createCameraOutputPins(streams) : createOutputPins(streams);
    } catch (...) {
        return E_INVALIDARG;
    }
}

HRESULT COrvexMovFileParserFilter::createOutputPins(CMyMovieStreams &streams)
{
    return CreatePins(streams, false);
}

HRESULT COrvexMovFileParserFilter::createCameraOutputPins(CMyMovieStreams &streams)
{
    return CreatePins(streams, true);
}

HRESULT COrvexMovFileParserFilter::CreatePins(CMyMovieStreams &streams, bool camera)
{
    CAutoLock lock(&m_Lock);
    if (!streams.video) return E_UNEXPECTED;
    ReleaseOutputPins(); // the pins of an earlier movie
    HRESULT hr = S_OK;
    LPCWSTR videoName = streams.GetVideoPinName();
    LPCWSTR soundName = streams.GetSoundPinName();
    if (camera)
        m_pVideoPin = new CMyParserOrvexH264VideoOutputPin(NAME("Orvex H.264 video output pin"), this, &hr, videoName,
                                                           std::move(streams.video));
    else
        m_pVideoPin =
            new CMyParserVideoOutputPin(NAME("H.264 video output pin"), this, &hr, videoName, std::move(streams.video));
    m_pVideoPin->AddFilterReference();
    IncrementPinVersion();

    if (streams.sound && soundName) {
        m_pSoundPin =
            new CMyParserSoundOutputPin(NAME("Sound output pin"), this, &hr, soundName, std::move(streams.sound));
        m_pSoundPin->AddFilterReference();
        IncrementPinVersion();
    }
    return hr;
}

void COrvexMovFileParserFilter::outputPinReleased(CMyParserOutputPin *pin)
{
    CAutoLock lock(&m_Lock);
    if (pin == m_pVideoPin)
        m_pVideoPin = nullptr;
    else if (pin == m_pSoundPin)
        m_pSoundPin = nullptr;
    // A pin the filter has already let go of is deleted all the same: its
    // count is 0, so nobody can reach it any more.
    delete pin;
    IncrementPinVersion();
}

void COrvexMovFileParserFilter::ReleaseOutputPins()
{
    CAutoLock lock(&m_Lock);
    ReleaseOutputPin(m_pVideoPin);
    ReleaseOutputPin(m_pSoundPin);
}

void COrvexMovFileParserFilter::ReleaseOutputPin(CMyParserOutputPin *&member)
{
    CMyParserOutputPin *pin = member;
    if (!pin) return;
    if (IPin *peer = pin->GetConnected()) {
        peer->Disconnect();
        pin->Disconnect();
    }
    // The filter no longer lists a pin it does not hold; a pin someone else
    // still holds lives on until its last release.
    member = nullptr;
    IncrementPinVersion();
    pin->ReleaseFilterReference();
}

bool COrvexMovFileParserFilter::isVideoPinConnected()
{
    CAutoLock lock(&m_Lock);
    return m_pVideoPin && m_pVideoPin->IsConnected();
}

const CVideoMediaStreamInfo *COrvexMovFileParserFilter::VideoStreamInfo() const
{
    CMyParserOutputPin *pin = m_pVideoPin;
    if (!pin) return nullptr;
    return dynamic_cast<const CVideoMediaStreamInfo *>(pin->GetStreamInfo());
}

STDMETHODIMP COrvexMovFileParserFilter::GetParameterSets(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS)
{
    CheckPointer(ppSPS, E_POINTER);
    CheckPointer(pcbSPS, E_POINTER);
    CheckPointer(ppPPS, E_POINTER);
    CheckPointer(pcbPPS, E_POINTER);
    const CVideoMediaStreamInfo *info = VideoStreamInfo();
    const CMyAVCConfiguration *avc = info ? GetAVCConfiguration(info) : nullptr;
    if (!avc || avc->m_SPSs.empty() || avc->m_PPSs.empty()) return VFW_E_NOT_CONNECTED;
    const CMyH264SPS &sps = *avc->m_SPSs.front();
    const CMyH264PPS &pps = *avc->m_PPSs.front();
    *ppSPS = sps.m_pData.get();
    *pcbSPS = sps.m_size;
    *ppPPS = pps.m_pData.get();
    *pcbPPS = pps.m_size;
    return S_OK;
}

STDMETHODIMP COrvexMovFileParserFilter::GetMediaInfo(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount)
{
    CheckPointer(plTimeScale, E_POINTER);
    CheckPointer(plDuration, E_POINTER);
    CheckPointer(plSampleCount, E_POINTER);
    const CVideoMediaStreamInfo *info = VideoStreamInfo();
    if (!info) return VFW_E_NOT_CONNECTED;
    *plTimeScale = info->GetMediaTimeScale();
    *plDuration = info->GetMediaDuration();
    *plSampleCount = info->GetSampleCount();
    return S_OK;
}

STDMETHODIMP_(CMyImageDescription *) COrvexMovFileParserFilter::GetImageDescription()
{
    const CVideoMediaStreamInfo *info = VideoStreamInfo();
    return info ? const_cast<CMyImageDescription *>(info->GetImageDescription()) : nullptr;
}
