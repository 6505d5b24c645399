#include "MovFileParserFilter/MyParserInputPin.h"

#include "MovFileParserFilter/OrvexMovFileParserFilter.h"

namespace {
// The name of the file the upstream filter reads, in task memory; null if
// it has none or offers no IFileSourceFilter.
LPOLESTR upstreamFileName(IPin *upstream)
{
    PIN_INFO info{};
    if (FAILED(upstream->QueryPinInfo(&info))) return nullptr;
    Microsoft::WRL::ComPtr<IBaseFilter> filter;
    // Takes over the reference QueryPinInfo added (mingw-w64's Attach would add one more).
    *filter.GetAddressOf() = info.pFilter;
    if (!filter) return nullptr;
    LPOLESTR name = nullptr;
    Microsoft::WRL::ComPtr<IFileSourceFilter> source;
    if (SUCCEEDED(filter->QueryInterface(IID_IFileSourceFilter, &source)) && source) {
        if (FAILED(source->GetCurFile(&name, nullptr)) && name) {
            CoTaskMemFree(name);
            name = nullptr;
        }
    }
    return name;
}
} // namespace

CMyParserInputPin::CMyParserInputPin(COrvexMovFileParserFilter *pFilter, CCritSec *pLock, HRESULT *phr)
    : CBasePin(NAME("Parser input pin"), pFilter, pLock, phr, L"XForm In", PINDIR_INPUT), m_pParserFilter(pFilter),
      m_bFlushing(false)
{
}

CMyParserInputPin::~CMyParserInputPin()
{
    ReleaseReader();
}

HRESULT CMyParserInputPin::CheckMediaType(const CMediaType *pmt)
{
    if (!pmt) return E_POINTER;
    const bool streamOrAny = *pmt->Type() == MEDIATYPE_Stream || *pmt->Type() == GUID_NULL;
    if (streamOrAny && *pmt->Subtype() == GUID_NULL && *pmt->FormatType() == GUID_NULL) return S_OK;
    return E_INVALIDARG;
}

HRESULT CMyParserInputPin::CompleteConnect(IPin *pReceivePin)
{
    HRESULT hr = CBasePin::CompleteConnect(pReceivePin);
    if (FAILED(hr)) return hr;
    LPOLESTR name = upstreamFileName(pReceivePin);
    if (!name) return E_UNEXPECTED;

    hr = m_pParserFilter->setSource(name);
    CoTaskMemFree(name);
    if (FAILED(hr)) return hr;

    Microsoft::WRL::ComPtr<IAsyncReader> reader;
    hr = pReceivePin->QueryInterface(IID_IAsyncReader, &reader);
    if (FAILED(hr) || !reader) {
        // The pins just made have nothing to read from: they go with the source.
        m_pParserFilter->setSource(nullptr);
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    CAutoLock lock(&m_ReadLock);
    m_pReader = std::move(reader);
    return hr;
}

STDMETHODIMP CMyParserInputPin::Disconnect()
{
    CAutoLock lock(m_pLock);
    // The output pins' threads read through this pin while the filter runs.
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    m_pParserFilter->setSource(nullptr);
    ReleaseReader();
    return CBasePin::Disconnect();
}

void CMyParserInputPin::ReleaseReader()
{
    CAutoLock lock(&m_ReadLock);
    m_pReader.Reset();
}

STDMETHODIMP CMyParserInputPin::BeginFlush()
{
    CAutoLock lock(m_pLock);
    m_bFlushing = true;
    return S_OK;
}

STDMETHODIMP CMyParserInputPin::EndFlush()
{
    CAutoLock lock(m_pLock);
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

bool CMyParserInputPin::IsFlushing()
{
    CAutoLock lock(m_pLock);
    return m_bFlushing;
}

HRESULT CMyParserInputPin::readAt(LONGLONG position, LONG length, BYTE *buffer)
{
    CAutoLock lock(&m_ReadLock);
    if (!m_pReader) return VFW_E_NOT_CONNECTED;
    return m_pReader->SyncRead(position, length, buffer);
}
