#include "MovFileParserFilter/MyParserSoundOutputPin.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"

#include <mmreg.h>

#include <cstring>
#include <limits>

namespace {
constexpr LONG kMinimumSoundBuffers = 1;
constexpr ULONG kMinimumAACFormat = 13;

DWORD pcmSampleRate(const CMediaType &type)
{
    if (*type.Subtype() != MEDIASUBTYPE_PCM || type.FormatLength() < sizeof(WAVEFORMATEX) || !type.Format()) return 0;
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, type.Format(), sizeof(wfx));
    return wfx.nSamplesPerSec;
}

// time × rate ÷ 10,000,000 in sample frames, truncated. The product is
// formed in 128 bits: times from hostile tables would overflow 64.
LONGLONG referenceTimeToFrames(LONGLONG time, DWORD rate)
{
    const __int128 frames = static_cast<__int128>(time) * rate / kReferenceTimeUnitsPerSecond;
    if (frames > std::numeric_limits<LONGLONG>::max()) return std::numeric_limits<LONGLONG>::max();
    if (frames < std::numeric_limits<LONGLONG>::min()) return std::numeric_limits<LONGLONG>::min();
    return LONGLONG(frames);
}
} // namespace

CMyParserSoundOutputPin::CMyParserSoundOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter,
                                                 HRESULT *phr, LPCWSTR pName,
                                                 std::unique_ptr<CSoundMediaStreamInfo> streamInfo)
    : CMyParserOutputPin(pObjectName, pFilter, phr, pName, std::move(streamInfo)),
      m_nSamplesPerSec(m_pStreamInfo ? pcmSampleRate(m_pStreamInfo->GetMediaType()) : 0)
{
}

CMyParserSoundOutputPin::~CMyParserSoundOutputPin()
{
    EndDelivery();
}

HRESULT CMyParserSoundOutputPin::CheckMediaType(const CMediaType *pmt)
{
    if (!pmt) return E_POINTER;
    if (*pmt->Type() != MEDIATYPE_Audio) return E_INVALIDARG;
    if (*pmt->Subtype() == MEDIASUBTYPE_PCM)
        return *pmt->FormatType() == FORMAT_WaveFormatEx && pmt->FormatLength() >= sizeof(WAVEFORMATEX) ? S_OK
                                                                                                        : E_INVALIDARG;
    if (*pmt->Subtype() == MEDIASUBTYPE_MovParserAAC)
        return *pmt->FormatType() == FORMAT_MovParserAACConfig && pmt->FormatLength() >= kMinimumAACFormat
                   ? S_OK
                   : E_INVALIDARG;
    return E_INVALIDARG;
}

HRESULT CMyParserSoundOutputPin::DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *ppropInputRequest)
{
    CheckPointer(pAlloc, E_POINTER);
    CheckPointer(ppropInputRequest, E_POINTER);
    const DWORD largest = m_pStreamInfo->GetLargestEntry();
    if (largest > DWORD(std::numeric_limits<LONG>::max())) return E_INVALIDARG;
    ALLOCATOR_PROPERTIES request = *ppropInputRequest;
    if (request.cBuffers < kMinimumSoundBuffers) request.cBuffers = kMinimumSoundBuffers;
    if (request.cbBuffer < LONG(largest)) request.cbBuffer = LONG(largest);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < LONG(largest) ? E_INVALIDARG : S_OK;
}

STDMETHODIMP CMyParserSoundOutputPin::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                                   DWORD dwStopFlags)
{
    if (m_pParserFilter->isVideoPinConnected()) return E_NOTIMPL;
    return CMyParserOutputPin::SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
}

void CMyParserSoundOutputPin::StampSample(IMediaSample *sample, const MediaSampleRef &entry, DWORD index,
                                          bool discontinuity, HRESULT *hrLength, HRESULT *hrTime)
{
    UNREFERENCED_PARAMETER(index);
    UNREFERENCED_PARAMETER(discontinuity);
    *hrLength = sample->SetActualDataLength(LONG(entry.size));
    REFERENCE_TIME start = SaturatingSubtract(entry.start, m_tDeliveryStart);
    REFERENCE_TIME stop = SaturatingSubtract(entry.stop, m_tDeliveryStart);
    *hrTime = sample->SetTime(&start, &stop);
    if (m_nSamplesPerSec) {
        LONGLONG mediaStart = referenceTimeToFrames(entry.start, m_nSamplesPerSec);
        LONGLONG mediaStop = referenceTimeToFrames(entry.stop, m_nSamplesPerSec);
        sample->SetMediaTime(&mediaStart, &mediaStop);
    }
}

bool CMyParserSoundOutputPin::TracesReceiveFailure(HRESULT hr) const
{
    return hr != VFW_E_WRONG_STATE;
}

DWORD CMyParserSoundOutputPin::ThreadProc()
{
    return DeliveryLoop("CMyParserSoundOutputPin");
}
