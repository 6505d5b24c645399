#include "push_source.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "common/MyParameterSetStreamIds.h"

#include <cstring>

namespace {

// An image description of the fixed 86 bytes, without extensions.
const BYTE kBlankDescription[86] = {};

} // namespace

class CPushSourcePin : public CBaseOutputPin {
public:
    CPushSourcePin(CPushSource *pSource, HRESULT *phr)
        : CBaseOutputPin(NAME("push source pin"), pSource, &pSource->m_lock, phr, L"Out"), m_pSource(pSource)
    {
    }

    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        CMediaType mine;
        GetMediaType(0, &mine);
        return *pmt == mine ? S_OK : S_FALSE;
    }

    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override
    {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
        VIDEOINFOHEADER vih{};
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih.bmiHeader.biWidth = m_pSource->m_config.width;
        vih.bmiHeader.biHeight = m_pSource->m_config.height;
        vih.bmiHeader.biCompression = MAKEFOURCC('a', 'v', 'c', '1');
        pmt->InitMediaType();
        pmt->SetType(&MEDIATYPE_Video);
        pmt->SetSubtype(&MEDIASUBTYPE_AVC1);
        pmt->SetFormatType(&FORMAT_VideoInfo);
        pmt->SetVariableSize();
        pmt->SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih));
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override
    {
        pProps->cBuffers = m_pSource->m_config.buffers;
        pProps->cbBuffer = 256 * 1024;
        ALLOCATOR_PROPERTIES actual{};
        return pAlloc->SetProperties(pProps, &actual);
    }

    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q) override
    {
        (void)pSender;
        std::lock_guard<std::mutex> hold(m_pSource->m_qualityLock);
        m_pSource->m_quality.push_back(q);
        return S_OK;
    }

private:
    CPushSource *m_pSource;
};

std::vector<BYTE> LengthPrefixed(const std::vector<BYTE> &unit)
{
    const DWORD n = static_cast<DWORD>(unit.size());
    std::vector<BYTE> bytes(4 + unit.size());
    bytes[0] = BYTE(n >> 24);
    bytes[1] = BYTE(n >> 16);
    bytes[2] = BYTE(n >> 8);
    bytes[3] = BYTE(n);
    if (n) std::memcpy(bytes.data() + 4, unit.data(), n);
    return bytes;
}

CPushSource *CPushSource::Create(const PushSourceConfig &config)
{
    CPushSource *pSource = new CPushSource(config);
    pSource->NonDelegatingAddRef();
    return pSource;
}

CPushSource::CPushSource(const PushSourceConfig &config)
    : CBaseFilter(NAME("push source"), NULL, &m_lock, GUID_NULL), m_config(config),
      m_description(kBlankDescription, sizeof(kBlankDescription))
{
    HRESULT hr = S_OK;
    m_pPin = new CPushSourcePin(this, &hr);
}

CPushSource::~CPushSource()
{
    delete m_pPin;
}

STDMETHODIMP CPushSource::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IOrvexMovParserH264Accessor && m_config.withAccessor)
        return GetInterface(static_cast<IOrvexMovParserH264Accessor *>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin *CPushSource::GetPin(int n)
{
    return n == 0 ? m_pPin : NULL;
}

IPin *CPushSource::Pin()
{
    return m_pPin;
}

HRESULT CPushSource::Push(const std::vector<BYTE> &bytes, DWORD streamId, REFERENCE_TIME start, REFERENCE_TIME stop,
                          bool discontinuity)
{
    IMediaSample *pSample = nullptr;
    HRESULT hr = m_pPin->GetDeliveryBuffer(&pSample, NULL, NULL, 0);
    if (FAILED(hr)) return hr;
    BYTE *pBuffer = nullptr;
    pSample->GetPointer(&pBuffer);
    std::memcpy(pBuffer, bytes.data(), bytes.size());
    pSample->SetActualDataLength(static_cast<LONG>(bytes.size()));
    if (start >= 0) pSample->SetTime(&start, &stop);
    pSample->SetDiscontinuity(discontinuity);
    IMediaSample2 *pSample2 = nullptr;
    if (SUCCEEDED(pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&pSample2)))) {
        AM_SAMPLE2_PROPERTIES props{};
        pSample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        props.dwStreamId = streamId;
        pSample2->SetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        pSample2->Release();
    }
    hr = m_pPin->Deliver(pSample);
    pSample->Release();
    return hr;
}

HRESULT CPushSource::PushParameterSets()
{
    HRESULT hr = Push(LengthPrefixed(m_config.sps), kSequenceParameterSetStreamId);
    if (FAILED(hr)) return hr;
    return Push(LengthPrefixed(m_config.pps), kPictureParameterSetStreamId);
}

HRESULT CPushSource::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    return m_pPin->DeliverNewSegment(start, stop, rate);
}

HRESULT CPushSource::EndOfStream()
{
    return m_pPin->DeliverEndOfStream();
}

HRESULT CPushSource::BeginFlush()
{
    return m_pPin->DeliverBeginFlush();
}

HRESULT CPushSource::EndFlush()
{
    return m_pPin->DeliverEndFlush();
}

STDMETHODIMP CPushSource::GetParameterSets(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS)
{
    *ppSPS = m_config.sps.data();
    *pcbSPS = static_cast<DWORD>(m_config.sps.size());
    *ppPPS = m_config.pps.data();
    *pcbPPS = static_cast<DWORD>(m_config.pps.size());
    return S_OK;
}

STDMETHODIMP CPushSource::GetMediaInfo(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount)
{
    *plTimeScale = m_config.timeScale;
    *plDuration = m_config.duration;
    *plSampleCount = m_config.sampleCount;
    return S_OK;
}

STDMETHODIMP_(CMyImageDescription *) CPushSource::GetImageDescription()
{
    return &m_description;
}

std::vector<Quality> CPushSource::QualityMessages()
{
    std::lock_guard<std::mutex> hold(m_qualityLock);
    return m_quality;
}
