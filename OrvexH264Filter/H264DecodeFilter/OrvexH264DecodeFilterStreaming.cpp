// The decode filter while streaming: samples are queued and decoded on the
// upstream thread inside Receive; the output thread delivers the pictures,
// new segments and the end of the stream in the order they were queued.
#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"

#include "H264DecodeFilter/OrvexH264DecodeFilterPins.h"
#include "common/MyParameterSetStreamIds.h"
#include "common/MyTrace.h"

#include <algorithm>
#include <new>

#include <wrl/client.h>

namespace {

// Each decoding step reads one access unit. A movie sample is one access
// unit, so one step per sample keeps the queue level; a sample that packs
// several gets extra steps, up to this many per received sample.
constexpr int kMaxStepsPerSample = 16;
// Steps at the end of the stream that may read nothing new before the
// decoder counts as stuck.
constexpr int kMaxIdleSteps = 1024;

constexpr DWORD kDeliverTimeout = 0;
constexpr DWORD kPausedTimeout = INFINITE;

} // namespace

HRESULT COrvexH264DecodeFilter11::StartStreaming()
{
    m_InputQueue.ResetEvents();
    m_OutputQueue.ResetEvents();
    m_Decoder.SetDeblockingSkipMode(GetDeblockingSkipMode());
    m_Decoder.SetOutputScalingMode(GetOutputScalingMode());
    if (!m_Decoder.CreateDecoder()) return E_FAIL;

    m_nInputBuffers = 0;
    Microsoft::WRL::ComPtr<IMemAllocator> pAllocator;
    if (SUCCEEDED(m_pInput->GetAllocator(&pAllocator)) && pAllocator) {
        ALLOCATOR_PROPERTIES props{};
        if (SUCCEEDED(pAllocator->GetProperties(&props)) && props.cBuffers > 0)
            m_nInputBuffers = static_cast<DWORD>(props.cBuffers);
    }

    m_hrStreamingError = S_OK;
    if (!Create()) return E_FAIL;
    return S_OK;
}

HRESULT COrvexH264DecodeFilter11::StopStreaming()
{
    EndOutputThread();
    m_Decoder.FreeDecoder();
    m_InputQueue.Clear();
    m_InputQueue.ResetEvents();
    m_OutputQueue.ClearAll();
    m_OutputQueue.ResetEvents();
    return S_OK;
}

void COrvexH264DecodeFilter11::EndOutputThread()
{
    // The abort wakes a thread waiting for a record, so it sees the command.
    m_OutputQueue.Abort();
    CallWorker(THREAD_CMD_EXIT);
    HANDLE hThread = InterlockedExchangePointer(&m_hThread, nullptr);
    if (hThread) {
        WaitForSingleObject(hThread, INFINITE);
        CloseHandle(hThread);
    }
}

DWORD COrvexH264DecodeFilter11::DecodeThreshold()
{
    // The queued samples hold upstream buffers: with fewer buffers than the
    // threshold, upstream would wait for one while nothing is decoded.
    if (m_nInputBuffers > 0 && m_nInputBuffers <= m_nDecodeThreshold) return std::max<DWORD>(1, m_nInputBuffers - 1);
    return m_nDecodeThreshold;
}

void COrvexH264DecodeFilter11::DecodeQueuedSamples(DWORD keep)
{
    for (int step = 0; step < kMaxStepsPerSample && m_InputQueue.GetCount() > keep; ++step) {
        m_Decoder.DecodeFrame();
    }
}

HRESULT COrvexH264DecodeFilter11::Receive(IMediaSample *pSample)
{
    HRESULT hr = m_hrStreamingError.load();
    if (FAILED(hr)) return hr;

    const DWORD streamId = m_pInput->SampleProps()->dwStreamId;
    if (streamId != AM_STREAM_MEDIA && streamId != kSequenceParameterSetStreamId &&
        streamId != kPictureParameterSetStreamId)
        return E_FAIL;

    std::unique_ptr<CSampleTimeInfo> pTime;
    if (streamId == AM_STREAM_MEDIA) {
        if (pSample->IsDiscontinuity() == S_OK) {
            // What waits is dropped; a new segment or the end of the stream
            // already queued still goes downstream.
            m_InputQueue.Clear();
            m_OutputQueue.ClearPictures();
            m_Decoder.Flush();
        }
        // The times go with the sample, and with the picture it gives, with
        // the segment start they are measured against.
        try {
            pTime = CSampleTimeInfo::FromSample(pSample);
        } catch (const std::bad_alloc &) {
            return E_OUTOFMEMORY;
        }
        pTime->m_segmentStart = m_pInput->CurrentStartTime();
    } else if (streamId == kSequenceParameterSetStreamId) {
        // Parameter sets that come while pictures wait (a new segment without
        // a flush) must not be read before them: the decoder takes a picture
        // ahead of its parameter sets as an error. Decode what waits first.
        DecodeQueuedSamples(0);
    }
    hr = m_InputQueue.PushSample(pSample, std::move(pTime));
    if (streamId == kSequenceParameterSetStreamId || FAILED(hr)) return hr;
    if (streamId == kPictureParameterSetStreamId) return m_Decoder.DecodeHeader() == 1 ? hr : E_FAIL;

    DecodeQueuedSamples(DecodeThreshold() - 1);

    std::unique_ptr<Quality> pQuality = m_OutputQueue.TakeQuality();
    if (pQuality) m_pInput->PassNotify(*pQuality);
    return hr;
}

bool COrvexH264DecodeFilter11::DecodeToMarker()
{
    // The marker waits behind the remaining samples; the step that reads it
    // answers 2, having queued every picture before it and then what the
    // marker stands for. Each step reads at least one unit, so the queue
    // shrinks; steps that leave it as it was, many times over, mean nothing
    // is read any more.
    DWORD queued = m_InputQueue.GetCount();
    for (int idle = 0; m_Decoder.HasDecoder() && idle < kMaxIdleSteps;) {
        if (m_Decoder.DecodeFrame() == 2) return true;
        const DWORD now = m_InputQueue.GetCount();
        idle = now < queued ? 0 : idle + 1;
        queued = now;
    }
    return false;
}

HRESULT COrvexH264DecodeFilter11::EndOfStream()
{
    const HRESULT hr = m_InputQueue.PushEndOfStream();
    if (FAILED(hr)) return hr;
    // Not drained: downstream still hears the end, after what was decoded.
    if (!DecodeToMarker()) m_OutputQueue.PushEndOfStream();
    return hr;
}

HRESULT COrvexH264DecodeFilter11::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    // Passed on by the output thread after every picture of the samples
    // before it: the decoder gives them all up first (the parser starts a
    // segment at a sync sample, with the parameter sets again), so pictures
    // the decoder still holds cannot follow the new segment downstream.
    CAutoLock receiving(&m_csReceive);
    if (!m_Decoder.HasDecoder() || FAILED(m_InputQueue.PushNewSegment(tStart, tStop, dRate))) {
        m_OutputQueue.PushNewSegment(tStart, tStop, dRate);
        return S_OK;
    }
    // Not drained: the marker stays queued and goes out when it is read.
    DecodeToMarker();
    return S_OK;
}

HRESULT COrvexH264DecodeFilter11::BeginFlush()
{
    CTransformFilter::BeginFlush();

    // Queued samples hold upstream buffers: an upstream thread waiting for
    // one must get an error now rather than wait for the receive lock.
    Microsoft::WRL::ComPtr<IMemAllocator> pAllocator;
    if (FAILED(m_pInput->GetAllocator(&pAllocator))) pAllocator.Reset();
    if (pAllocator) pAllocator->Decommit();
    {
        CAutoLock receiving(&m_csReceive);
        m_Decoder.AbortInput();
        m_OutputQueue.Abort();
        CallWorker(THREAD_CMD_PAUSE);
        m_Decoder.Flush();
        m_InputQueue.Clear();
        m_OutputQueue.ClearAll();
    }
    HRESULT hr = S_OK;
    if (pAllocator) hr = pAllocator->Commit();
    return hr;
}

HRESULT COrvexH264DecodeFilter11::EndFlush()
{
    m_OutputQueue.ResetEvents();
    CallWorker(THREAD_CMD_RUN);
    m_Decoder.StartInput();
    return CTransformFilter::EndFlush();
}

HRESULT COrvexH264DecodeFilter11::AlterQuality(Quality q)
{
    // Famine needs nothing from upstream; a flood is passed on from Receive.
    if (q.Type != Famine) m_OutputQueue.SetQuality(q);
    return S_OK;
}

DWORD COrvexH264DecodeFilter11::ThreadProc()
{
    bool running = true;
    DWORD timeout = kDeliverTimeout;
    while (running) {
        DWORD command = 0;
        if (CheckRequest(timeout, &command)) {
            Reply(0);
            if (command == THREAD_CMD_EXIT) {
                running = false;
            } else if (command == THREAD_CMD_PAUSE) {
                timeout = kPausedTimeout;
            } else if (command == THREAD_CMD_RUN) {
                timeout = kDeliverTimeout;
            }
            continue;
        }
        std::unique_ptr<CMyOutputData> pRecord = m_OutputQueue.WaitPop();
        if (!pRecord) continue;
        switch (pRecord->GetKind()) {
        case CMyOutputData::kEndOfStream:
            m_pOutput->DeliverEndOfStream();
            break;
        case CMyOutputData::kNewSegment: {
            REFERENCE_TIME start = 0, stop = 0;
            double rate = 1.0;
            pRecord->GetNewSegment(&start, &stop, &rate);
            const HRESULT hr = CTransformFilter::NewSegment(start, stop, rate);
            if (FAILED(hr))
                MyTrace("COrvexH264DecodeFilter11::ThreadProc NewSegment  0x%08X  \n", static_cast<unsigned>(hr));
            break;
        }
        case CMyOutputData::kPicture:
            if (SUCCEEDED(m_hrStreamingError.load())) output(pRecord.get());
            break;
        default:
            break;
        }
    }
    return 0;
}
