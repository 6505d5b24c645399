// CMyOutputDataQueue: what the filter's output thread works through, in
// order: decoded pictures and the end-of-stream and new-segment commands;
// beside them the time stamps of the received media samples, and one slot
// for the latest quality message from downstream. Three locks, one per
// part, each a leaf: no operation holds two, and none waits holding one.
#pragma once

#include "H264DecodeFilter/MyOutputData.h"
#include "H264DecodeFilter/MySampleTimeInfo.h"
#include "H264DecodeFilter/MyWaitQueue.h"

#include <memory>

class CMyOutputDataQueue {
public:
    CMyOutputDataQueue();
    // Deletes what is still queued and the pending quality message.
    ~CMyOutputDataQueue();

    CMyOutputDataQueue(const CMyOutputDataQueue &) = delete;
    CMyOutputDataQueue &operator=(const CMyOutputDataQueue &) = delete;

    // Each queues its record and wakes the output thread. S_OK; E_POINTER
    // for a null picture; E_OUTOFMEMORY.
    HRESULT PushFrame(std::unique_ptr<CMyOutputData> pPicture);
    HRESULT PushEndOfStream();
    HRESULT PushNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // The next record, waiting while the queue is empty; null once aborted
    // or when the wait fails. Each record taken sets the taken event.
    std::unique_ptr<CMyOutputData> WaitPop();

    void Abort();
    void ResetEvents();
    DWORD GetCount();
    // Automatic reset; set each time WaitPop takes a record. A producer
    // waiting for room in the queue waits on it.
    HANDLE GetTakenEvent() const { return m_evTaken; }

    // Queues the times of pSample. S_OK; E_POINTER; E_OUTOFMEMORY.
    HRESULT PushTimeInfo(IMediaSample *pSample);
    // The oldest time record, or null.
    std::unique_ptr<CSampleTimeInfo> PopTimeInfo();
    DWORD GetTimeInfoCount();

    // Keeps a copy of the message, replacing one kept before.
    void SetQuality(const Quality &quality);
    // The kept message, or null; the slot is empty afterwards.
    std::unique_ptr<Quality> TakeQuality();

    // Deletes every queued picture, command and time record and the pending
    // quality message, taking the three locks one after the other.
    void ClearAll();
    // The same, but new-segment and end-of-stream commands stay queued in
    // their order: a discontinuity drops pictures, not the stream's commands.
    void ClearPictures();

    LPCTSTR GetName() const { return m_Queue.GetName(); }
    LPCTSTR GetTimeInfoName() const { return m_TimeInfoQueue.GetName(); }

private:
    HRESULT Push(std::unique_ptr<CMyOutputData> pRecord);

    CCritSec m_Lock;
    CMyWaitQueue<CMyOutputData> m_Queue;
    CAMEvent m_evTaken;
    CCritSec m_TimeInfoLock;
    CMyQueue<CSampleTimeInfo> m_TimeInfoQueue;
    CCritSec m_QualityLock;
    std::unique_ptr<Quality> m_pQuality;
};
