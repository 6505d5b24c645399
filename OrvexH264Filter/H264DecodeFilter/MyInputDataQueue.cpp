#include "H264DecodeFilter/MyInputDataQueue.h"

#include <new>

CMyInputDataQueue::CMyInputDataQueue() : m_Queue(L"MyInputDataQueue", &m_Lock) {}

CMyInputDataQueue::~CMyInputDataQueue()
{
    m_Queue.Clear();
}

HRESULT CMyInputDataQueue::PushSample(IMediaSample *pSample, std::unique_ptr<CSampleTimeInfo> pTime)
{
    if (!pSample) return E_POINTER;
    try {
        // The scan reads the sample outside the lock.
        auto pRecord = std::make_unique<CMyInputMediaSampleData>();
        pRecord->m_kind = CMyInputMediaSampleData::kSample;
        pRecord->m_pData = std::make_unique<CMyInputData>(pSample);
        pRecord->m_pTime = std::move(pTime);
        return Push(std::move(pRecord));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CMyInputDataQueue::PushEndOfStream()
{
    try {
        auto pRecord = std::make_unique<CMyInputMediaSampleData>();
        pRecord->m_kind = CMyInputMediaSampleData::kEndOfStream;
        return Push(std::move(pRecord));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CMyInputDataQueue::PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    try {
        auto pRecord = std::make_unique<CMyInputMediaSampleData>();
        pRecord->m_kind = CMyInputMediaSampleData::kNewSegment;
        pRecord->m_segmentStart = start;
        pRecord->m_segmentStop = stop;
        pRecord->m_rate = rate;
        return Push(std::move(pRecord));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CMyInputDataQueue::Push(std::unique_ptr<CMyInputMediaSampleData> pRecord)
{
    if (!m_Queue.PushAndSignal(pRecord.get())) return E_OUTOFMEMORY;
    pRecord.release(); // the queue owns it now
    return S_OK;
}

std::unique_ptr<CMyInputMediaSampleData> CMyInputDataQueue::WaitPop()
{
    return std::unique_ptr<CMyInputMediaSampleData>(m_Queue.WaitPop());
}

std::unique_ptr<CMyInputMediaSampleData> CMyInputDataQueue::TryPop()
{
    return std::unique_ptr<CMyInputMediaSampleData>(m_Queue.TryPop());
}

void CMyInputDataQueue::Abort()
{
    m_Queue.Abort();
}

void CMyInputDataQueue::ResetEvents()
{
    m_Queue.ResetEvents();
}

void CMyInputDataQueue::Clear()
{
    m_Queue.Clear();
}

DWORD CMyInputDataQueue::GetCount()
{
    return m_Queue.GetCount();
}
