// The decode filter object: creation, interfaces, pins, and what it learns
// from the parser when its input connects.
#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"

#include "H264DecodeFilter/OrvexH264DecodeFilterPins.h"
#include "common/IOrvexMovParserH264Accessor.h"
#include "common/OrvexGuids.h"

#include <algorithm>
#include <limits>
#include <new>

#include <wrl/client.h>

namespace {

DWORD ProcessorCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

} // namespace

CUnknown *WINAPI COrvexH264DecodeFilter11::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    COrvexH264DecodeFilter11 *pFilter = new (std::nothrow) COrvexH264DecodeFilter11(pUnk, phr);
    if (!pFilter && phr) *phr = E_OUTOFMEMORY;
    return pFilter;
}

COrvexH264DecodeFilter11::COrvexH264DecodeFilter11(LPUNKNOWN pUnk, HRESULT *phr)
    : CTransformFilter(NULL, pUnk, CLSID_OrvexH264DecodeFilter11), m_Decoder(&m_InputQueue, &m_OutputQueue),
      m_nDecodeThreshold(std::max<DWORD>(2, ProcessorCount()))
{
    (void)phr;
}

COrvexH264DecodeFilter11::~COrvexH264DecodeFilter11()
{
    // A filter released without being stopped still ends its thread and its
    // decoder before the queues they use go.
    EndOutputThread();
    m_Decoder.FreeDecoder();
}

STDMETHODIMP COrvexH264DecodeFilter11::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IOrvexH264DecoderParameter2)
        return GetInterface(static_cast<IOrvexH264DecoderParameter2 *>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages *>(this), ppv);
    return CTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin *COrvexH264DecodeFilter11::GetPin(int n)
{
    if (!m_pInput) {
        HRESULT hr = S_OK;
        m_pDecInputPin = new (std::nothrow) COrvexH264DecodeFilterInputPin(this, &hr);
        if (!m_pDecInputPin) return NULL;
        m_pDecOutputPin = new (std::nothrow) COrvexH264DecodeFilterOutputPin(this, &hr);
        if (!m_pDecOutputPin) {
            delete m_pDecInputPin;
            m_pDecInputPin = nullptr;
            return NULL;
        }
        m_pInput = m_pDecInputPin;
        m_pOutput = m_pDecOutputPin;
    }
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return NULL;
}

STDMETHODIMP COrvexH264DecodeFilter11::GetPages(CAUUID *pPages)
{
    CheckPointer(pPages, E_POINTER);
    pPages->cElems = 1;
    pPages->pElems = static_cast<GUID *>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) {
        pPages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pPages->pElems[0] = CLSID_OrvexH264DecodeFilterPropertyPage;
    return S_OK;
}

HRESULT COrvexH264DecodeFilter11::CompleteConnect(PIN_DIRECTION direction, IPin *pReceivePin)
{
    HRESULT hr = S_OK;
    if (direction == PINDIR_OUTPUT) {
        hr = m_Decoder.SetOutputFormat(&m_pOutput->CurrentMediaType());
    } else {
        hr = ConnectToParser(pReceivePin);
    }
    if (FAILED(hr)) return hr;
    return CTransformFilter::CompleteConnect(direction, pReceivePin);
}

HRESULT COrvexH264DecodeFilter11::ConnectToParser(IPin *pReceivePin)
{
    CheckPointer(pReceivePin, E_POINTER);
    m_Decoder.ResetStreamInfo();

    PIN_INFO info{};
    HRESULT hr = pReceivePin->QueryPinInfo(&info);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<IBaseFilter> pFilter;
    // Takes over the reference QueryPinInfo added (mingw-w64's Attach would add one more).
    *pFilter.GetAddressOf() = info.pFilter;
    Microsoft::WRL::ComPtr<IOrvexMovParserH264Accessor> pAccessor;
    if (pFilter) pFilter->QueryInterface(IID_IOrvexMovParserH264Accessor, &pAccessor);
    if (!pAccessor) return VFW_E_NO_INTERFACE;

    BYTE *pSPS = nullptr, *pPPS = nullptr;
    DWORD cbSPS = 0, cbPPS = 0;
    hr = pAccessor->GetParameterSets(&pSPS, &cbSPS, &pPPS, &cbPPS);
    if (SUCCEEDED(hr)) {
        // The configuration record stores both lengths in 16 bits.
        constexpr DWORD kMaxSet = std::numeric_limits<WORD>::max();
        const CMyImageDescription *pDescription = pAccessor->GetImageDescription();
        if (cbSPS > kMaxSet || cbPPS > kMaxSet ||
            FAILED(m_Decoder.SetParameterSets(pSPS, static_cast<WORD>(cbSPS), pPPS, static_cast<WORD>(cbPPS),
                                              pDescription))) {
            hr = VFW_E_NO_INTERFACE;
        }
    }
    if (SUCCEEDED(hr)) {
        LONG timeScale = 0, duration = 0, sampleCount = 0;
        hr = pAccessor->GetMediaInfo(&timeScale, &duration, &sampleCount);
        if (SUCCEEDED(hr)) {
            m_MediaTimeScale = static_cast<DWORD>(timeScale);
            m_MediaDuration = static_cast<DWORD>(duration);
            m_MediaSampleCount = static_cast<DWORD>(sampleCount);
        }
    }
    return hr;
}
