// CMyQueue: an unbounded FIFO of record pointers over the framework's generic
// list, guarded by a lock that belongs to the queue's owner. Records travel
// by pointer: while queued they belong to the queue, Pop hands one to the
// caller, Clear deletes what is queued.
#pragma once

#include <streams.h>

#include <vector>

template <class T> class CMyQueue {
public:
    // Released list nodes kept for reuse, so steady streaming allocates none.
    static constexpr INT kNodeCacheSize = 256;

    // pLock belongs to the owner and must outlive the queue.
    CMyQueue(LPCTSTR pName, CCritSec *pLock) : m_List(pName, kNodeCacheSize), m_pLock(pLock) {}
    // Frees the list nodes only: the owner clears the records it still holds.
    virtual ~CMyQueue() = default;

    CMyQueue(const CMyQueue &) = delete;
    CMyQueue &operator=(const CMyQueue &) = delete;

    // Appends at the tail; false (the record not queued, still the
    // caller's) when no list node can be had.
    virtual bool Push(T *pRecord)
    {
        CAutoLock lock(m_pLock);
        return m_List.AddTail(pRecord) != NULL;
    }

    // The head record, or null when empty. Never blocks.
    virtual T *Pop()
    {
        CAutoLock lock(m_pLock);
        return m_List.RemoveHead();
    }

    // Deletes every queued record. The records are detached under the lock
    // and deleted outside it: deleting an input record releases an upstream
    // sample, which takes the upstream allocator's lock.
    virtual void Clear()
    {
        std::vector<T *> records;
        {
            CAutoLock lock(m_pLock);
            records.reserve(static_cast<size_t>(m_List.GetCount()));
            while (T *pRecord = m_List.RemoveHead())
                records.push_back(pRecord);
        }
        for (T *pRecord : records)
            delete pRecord;
    }

    // Deletes the queued records for which drop(record) is true; the others
    // stay queued in their order. Deleted outside the lock, as in Clear.
    template <class Drop> void ClearIf(Drop drop)
    {
        std::vector<T *> dropped;
        {
            CAutoLock lock(m_pLock);
            std::vector<T *> kept;
            while (T *pRecord = m_List.RemoveHead())
                (drop(*pRecord) ? dropped : kept).push_back(pRecord);
            // The nodes just released are cached; a record that still finds
            // none (no memory) is deleted rather than lost.
            for (T *pRecord : kept)
                if (m_List.AddTail(pRecord) == NULL) dropped.push_back(pRecord);
        }
        for (T *pRecord : dropped)
            delete pRecord;
    }

    virtual DWORD GetCount()
    {
        CAutoLock lock(m_pLock);
        return static_cast<DWORD>(m_List.GetCount());
    }

    LPCTSTR GetName() const { return m_List.Name(); }

protected:
    CGenericList<T> m_List;
    CCritSec *m_pLock;
};
