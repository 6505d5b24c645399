#include "H264DecodeFilter/MyOutputDataQueue.h"

#include <new>

CMyOutputDataQueue::CMyOutputDataQueue()
    : m_Queue(L"MyOutputDataQueue", &m_Lock), m_evTaken(FALSE), m_TimeInfoQueue(L"TimeInfoQueue", &m_TimeInfoLock)
{
}

CMyOutputDataQueue::~CMyOutputDataQueue()
{
    ClearAll();
}

HRESULT CMyOutputDataQueue::Push(std::unique_ptr<CMyOutputData> pRecord)
{
    if (!m_Queue.PushAndSignal(pRecord.get())) return E_OUTOFMEMORY;
    pRecord.release(); // the queue owns it now
    return S_OK;
}

HRESULT CMyOutputDataQueue::PushFrame(std::unique_ptr<CMyOutputData> pPicture)
{
    if (!pPicture) return E_POINTER;
    return Push(std::move(pPicture));
}

HRESULT CMyOutputDataQueue::PushEndOfStream()
{
    try {
        return Push(CMyOutputData::NewEndOfStream());
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CMyOutputDataQueue::PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    try {
        return Push(CMyOutputData::NewSegment(start, stop, rate));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

std::unique_ptr<CMyOutputData> CMyOutputDataQueue::WaitPop()
{
    std::unique_ptr<CMyOutputData> pRecord(m_Queue.WaitPop());
    if (pRecord) m_evTaken.Set();
    return pRecord;
}

void CMyOutputDataQueue::Abort()
{
    m_Queue.Abort();
}

void CMyOutputDataQueue::ResetEvents()
{
    m_Queue.ResetEvents();
}

DWORD CMyOutputDataQueue::GetCount()
{
    return m_Queue.GetCount();
}

HRESULT CMyOutputDataQueue::PushTimeInfo(IMediaSample *pSample)
{
    if (!pSample) return E_POINTER;
    try {
        std::unique_ptr<CSampleTimeInfo> pInfo = CSampleTimeInfo::FromSample(pSample);
        if (!m_TimeInfoQueue.Push(pInfo.get())) return E_OUTOFMEMORY;
        pInfo.release(); // the queue owns it now
        return S_OK;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

std::unique_ptr<CSampleTimeInfo> CMyOutputDataQueue::PopTimeInfo()
{
    return std::unique_ptr<CSampleTimeInfo>(m_TimeInfoQueue.Pop());
}

DWORD CMyOutputDataQueue::GetTimeInfoCount()
{
    return m_TimeInfoQueue.GetCount();
}

void CMyOutputDataQueue::SetQuality(const Quality &quality)
{
    std::unique_ptr<Quality> pCopy(new (std::nothrow) Quality(quality));
    if (!pCopy) return; // keep the earlier message rather than none
    CAutoLock lock(&m_QualityLock);
    m_pQuality.swap(pCopy);
    // pCopy now holds the replaced message, deleted after the lock is left.
}

std::unique_ptr<Quality> CMyOutputDataQueue::TakeQuality()
{
    CAutoLock lock(&m_QualityLock);
    return std::move(m_pQuality);
}

void CMyOutputDataQueue::ClearAll()
{
    m_Queue.Clear();
    m_TimeInfoQueue.Clear();
    TakeQuality().reset();
}

void CMyOutputDataQueue::ClearPictures()
{
    m_Queue.ClearIf([](const CMyOutputData &record) { return record.GetKind() == CMyOutputData::kPicture; });
    m_TimeInfoQueue.Clear();
    TakeQuality().reset();
}
