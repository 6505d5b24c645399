// CMyInputDataQueue: the compressed samples (and the end-of-stream marker)
// on their way from the filter's Receive and EndOfStream to the decoder
// wrapper's reader. Every operation takes the owner's one lock, and nothing
// is called while it is held.
#pragma once

#include "H264DecodeFilter/MyInputData.h"
#include "H264DecodeFilter/MyWaitQueue.h"

#include <memory>

class CMyInputDataQueue {
public:
    CMyInputDataQueue();
    // Deletes the records still queued, releasing their samples.
    ~CMyInputDataQueue();

    CMyInputDataQueue(const CMyInputDataQueue &) = delete;
    CMyInputDataQueue &operator=(const CMyInputDataQueue &) = delete;

    // Queues a record holding a reference on pSample, and the sample's times
    // when it is a media sample, and wakes the consumer. S_OK; E_POINTER for
    // a null sample; E_OUTOFMEMORY.
    HRESULT PushSample(IMediaSample *pSample, std::unique_ptr<CSampleTimeInfo> pTime = nullptr);
    // Queue the end-of-stream and the new-segment markers the same way.
    // S_OK or E_OUTOFMEMORY.
    HRESULT PushEndOfStream();
    HRESULT PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // The next record, waiting while the queue is empty; null once aborted.
    std::unique_ptr<CMyInputMediaSampleData> WaitPop();
    // The next record without waiting; null when aborted or empty.
    std::unique_ptr<CMyInputMediaSampleData> TryPop();

    // Wakes every waiter; pops answer null until ResetEvents.
    void Abort();
    void ResetEvents();
    // Deletes every queued record.
    void Clear();
    DWORD GetCount();

    LPCTSTR GetName() const { return m_Queue.GetName(); }

private:
    HRESULT Push(std::unique_ptr<CMyInputMediaSampleData> pRecord);

    CCritSec m_Lock;
    CMyWaitQueue<CMyInputMediaSampleData> m_Queue;
};
