#include "MovFileParserFilter/MyParserVideoOutputPin.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/MyParameterSetSample.h"
#include "MyH264/MyAVCConfiguration.h"
#include "common/MyTrace.h"

#include <limits>

#include <wrl/client.h>

namespace {
constexpr LONG kMinimumVideoBuffers = 10;
constexpr DWORD kAvc1FourCC = 0x31637661; // 'avc1' as the characters stand in memory

LONGLONG SaturatingAdd(LONGLONG a, LONGLONG b)
{
    LONGLONG sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<LONGLONG>::max() : std::numeric_limits<LONGLONG>::min();
}
} // namespace

CMyParserVideoOutputPin::CMyParserVideoOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter,
                                                 HRESULT *phr, LPCWSTR pName,
                                                 std::unique_ptr<CVideoMediaStreamInfo> streamInfo)
    : CMyParserOutputPin(pObjectName, pFilter, phr, pName, std::move(streamInfo)), m_bSkipLateFrames(true)
{
}

CMyParserVideoOutputPin::~CMyParserVideoOutputPin()
{
    EndDelivery();
}

const CVideoMediaStreamInfo *CMyParserVideoOutputPin::VideoStreamInfo() const
{
    // Made from a video stream info and never replaced.
    return static_cast<const CVideoMediaStreamInfo *>(m_pStreamInfo.get());
}

HRESULT CMyParserVideoOutputPin::CheckMediaType(const CMediaType *pmt)
{
    if (!pmt) return E_POINTER;
    if (*pmt->Type() != MEDIATYPE_Video || *pmt->Subtype() != MEDIASUBTYPE_AVC1 ||
        *pmt->FormatType() != FORMAT_VideoInfo || pmt->FormatLength() < sizeof(VIDEOINFOHEADER) || !pmt->Format())
        return E_INVALIDARG;
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(pmt->Format());
    return vih->bmiHeader.biCompression == kAvc1FourCC ? S_OK : E_INVALIDARG;
}

HRESULT CMyParserVideoOutputPin::DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *ppropInputRequest)
{
    CheckPointer(pAlloc, E_POINTER);
    CheckPointer(ppropInputRequest, E_POINTER);
    const DWORD largest = m_pStreamInfo->GetLargestEntry();
    if (largest > DWORD(std::numeric_limits<LONG>::max())) return E_INVALIDARG;
    ALLOCATOR_PROPERTIES request = *ppropInputRequest;
    if (request.cBuffers < kMinimumVideoBuffers) request.cBuffers = kMinimumVideoBuffers;
    if (request.cbBuffer < LONG(largest)) request.cbBuffer = LONG(largest);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < LONG(largest) ? E_INVALIDARG : S_OK;
}

HRESULT CMyParserVideoOutputPin::CompleteConnect(IPin *pReceivePin)
{
    HRESULT hr = CMyParserOutputPin::CompleteConnect(pReceivePin);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<IQualityControl> quality;
    if (FAILED(pReceivePin->QueryInterface(IID_IQualityControl, &quality)) || !quality) return hr;
    return quality->SetSink(static_cast<IQualityControl *>(this));
}

HRESULT CMyParserVideoOutputPin::BreakConnect()
{
    // The downstream pin keeps its sink pointer uncounted: it must not
    // outlive this pin's connection.
    if (m_Connected) {
        Microsoft::WRL::ComPtr<IQualityControl> quality;
        if (SUCCEEDED(m_Connected->QueryInterface(IID_IQualityControl, &quality)) && quality) quality->SetSink(nullptr);
    }
    return CMyParserOutputPin::BreakConnect();
}

HRESULT CMyParserVideoOutputPin::startNewSegment()
{
    HRESULT hr = CMyParserOutputPin::startNewSegment();
    if (SUCCEEDED(hr)) hr = deliverParameterSet(true);
    if (SUCCEEDED(hr)) hr = deliverParameterSet(false);
    return hr;
}

HRESULT CMyParserVideoOutputPin::deliverParameterSet(bool sequenceSet)
{
    Microsoft::WRL::ComPtr<IMediaSample> sample;
    HRESULT hr = GetDeliveryBuffer(&sample, NULL, NULL, 0);
    if (FAILED(hr)) return hr;
    const CMyAVCConfiguration *avc = GetAVCConfiguration(VideoStreamInfo());
    if (!avc || avc->m_SPSs.empty() || avc->m_PPSs.empty()) {
        hr = E_UNEXPECTED;
    } else if (sequenceSet) {
        const CMyH264SPS &sps = *avc->m_SPSs.front();
        hr = FillParameterSetSample(sample.Get(), sps.m_pData.get(), sps.m_size, kSequenceParameterSetStreamId);
    } else {
        const CMyH264PPS &pps = *avc->m_PPSs.front();
        hr = FillParameterSetSample(sample.Get(), pps.m_pData.get(), pps.m_size, kPictureParameterSetStreamId);
    }
    if (SUCCEEDED(hr)) hr = Deliver(sample.Get());
    return hr;
}

LONGLONG CMyParserVideoOutputPin::PresentationNow()
{
    CRefTime streamTime;
    m_pFilter->StreamTime(streamTime); // unchanged (0) without a clock
    return SaturatingAdd(streamTime, m_tDeliveryStart);
}

void CMyParserVideoOutputPin::ChooseEntry(MediaSampleRef *entry, DWORD *index, bool *discontinuity)
{
    if (!m_bSkipLateFrames) return;
    // Twice the average frame duration. A stream without samples or time
    // scale has no frame duration, and no frame counts as late.
    const CVideoMediaStreamInfo *info = VideoStreamInfo();
    const LONGLONG denominator = LONGLONG(info->GetMediaTimeScale()) * info->GetSampleCount();
    if (denominator <= 0) return;
    const LONGLONG threshold = 2 * kReferenceTimeUnitsPerSecond * info->GetMediaDuration() / denominator;
    if (m_rtLate.load(std::memory_order_relaxed) < threshold) return;
    if (PresentationNow() < entry->start) return;

    DWORD syncIndex = 0;
    LONGLONG syncStart = 0;
    if (!m_pStreamInfo->FindNextSyncSampleRef(m_pStreamInfo->GetCurrentIndex(), &syncIndex, &syncStart)) return;
    if (PresentationNow() < syncStart) return;
    if (!m_pStreamInfo->SetCurrentIndex(syncIndex)) {
        MyTrace("SetCurrentIndex failed \n");
        return;
    }
    MediaSampleRef syncEntry;
    DWORD fetched = 0;
    if (!m_pStreamInfo->GetNextMediaSampleRef(&syncEntry, &fetched)) {
        MyTrace("GetNextMediaSampleRef failed \n");
        return;
    }
    m_rtLate.store(0, std::memory_order_relaxed);
    *entry = syncEntry;
    *index = fetched;
    *discontinuity = true;
}

void CMyParserVideoOutputPin::StampSample(IMediaSample *sample, const MediaSampleRef &entry, DWORD index,
                                          bool discontinuity, HRESULT *hrLength, HRESULT *hrTime)
{
    *hrLength = sample->SetActualDataLength(LONG(entry.size));
    REFERENCE_TIME start = entry.start, stop = entry.stop;
    *hrTime = sample->SetTime(&start, &stop);
    LONGLONG mediaStart = index, mediaStop = index;
    sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetSyncPoint(entry.sync ? TRUE : FALSE);
    sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
}

DWORD CMyParserVideoOutputPin::ThreadProc()
{
    return DeliveryLoop("CMyParserVideoOutputPin");
}

CMyParserOrvexH264VideoOutputPin::~CMyParserOrvexH264VideoOutputPin()
{
    EndDelivery();
}

DWORD CMyParserOrvexH264VideoOutputPin::ThreadProc()
{
    return DeliveryLoop("CMyParserOrvexH264VideoOutputPin");
}
