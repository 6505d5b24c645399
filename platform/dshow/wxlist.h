// CBaseList and CGenericList: a named doubly linked list of object pointers
// with a cache of free nodes, addressed by opaque POSITIONs. A POSITION stays
// valid until its node is removed. The list neither owns nor locks anything.
#pragma once

#include "combase.h"

typedef struct tagAMPOSITION {
    int unused;
} * POSITION;

const int DEFAULTCACHE = 10;

class CBaseList {
public:
    class CNode {
        CNode *m_pPrev = NULL;
        CNode *m_pNext = NULL;
        void *m_pObject = NULL;

    public:
        CNode *Prev() const { return m_pPrev; }
        CNode *Next() const { return m_pNext; }
        void SetPrev(CNode *p) { m_pPrev = p; }
        void SetNext(CNode *p) { m_pNext = p; }
        void *GetData() const { return m_pObject; }
        void SetData(void *p) { m_pObject = p; }
    };

    // Keeps up to iCacheSize freed nodes for reuse.
    class CNodeCache {
    public:
        CNodeCache(INT iCacheSize) : m_iCacheSize(iCacheSize), m_iUsed(0), m_pHead(NULL) {}
        ~CNodeCache();
        void AddToCache(CNode *pNode);
        CNode *RemoveFromCache();

    private:
        INT m_iCacheSize;
        INT m_iUsed;
        CNode *m_pHead;
    };

protected:
    CNode *m_pFirst;
    CNode *m_pLast;
    LONG m_Count;

private:
    CNodeCache m_Cache;
    LPCTSTR m_pName;

    CBaseList(const CBaseList &) = delete;
    CBaseList &operator=(const CBaseList &) = delete;

    CNode *NewNode(void *pObject);
    static CNode *Node(POSITION p) { return reinterpret_cast<CNode *>(p); }
    static POSITION Pos(CNode *n) { return reinterpret_cast<POSITION>(n); }

public:
    CBaseList(CObjectName pName, INT iItems);
    CBaseList(CObjectName pName);
    ~CBaseList();

    LPCTSTR Name() const { return m_pName; }

    // Removes every node; the objects are not touched.
    void RemoveAll();

    POSITION GetHeadPositionI() const { return Pos(m_pFirst); }
    POSITION GetTailPositionI() const { return Pos(m_pLast); }
    int GetCountI() const { return m_Count; }

protected:
    // The object at rp, rp moved to the next position (NULL after the tail).
    void *GetNextI(POSITION &rp) const;
    void *GetI(POSITION p) const { return p ? Node(p)->GetData() : NULL; }
    void *GetValidI(POSITION p) const { return Node(p)->GetData(); }

public:
    POSITION Next(POSITION pos) const { return pos ? Pos(Node(pos)->Next()) : GetHeadPositionI(); }
    POSITION Prev(POSITION pos) const { return pos ? Pos(Node(pos)->Prev()) : GetTailPositionI(); }

protected:
    POSITION FindI(void *pObj) const;
    void *RemoveHeadI();
    void *RemoveTailI();
    void *RemoveI(POSITION p);
    POSITION AddTailI(void *pObj);
    POSITION AddHeadI(void *pObj);
    POSITION AddAfterI(POSITION p, void *pObj);
    POSITION AddBeforeI(POSITION p, void *pObj);

public:
    // Append (prepend, insert) every object of pList; pList is unchanged.
    BOOL AddTail(CBaseList *pList);
    BOOL AddHead(CBaseList *pList);
    BOOL AddAfter(POSITION p, CBaseList *pList);
    BOOL AddBefore(POSITION p, CBaseList *pList);

    // Split this list after pos and move the head part (up to and including
    // pos) to the tail of pList. Nothing moves when pos is NULL.
    BOOL MoveToTail(POSITION pos, CBaseList *pList);
    // Split this list before pos and move the tail part (pos and everything
    // after it) to the head of pList. Nothing moves when pos is NULL.
    BOOL MoveToHead(POSITION pos, CBaseList *pList);

    void Reverse();
};

template <class OBJECT> class CGenericList : public CBaseList {
public:
    CGenericList(CObjectName pName, INT iItems, BOOL bLock = TRUE, BOOL bAlert = FALSE) : CBaseList(pName, iItems)
    {
        UNREFERENCED_PARAMETER(bAlert);
        UNREFERENCED_PARAMETER(bLock);
    }
    CGenericList(CObjectName pName) : CBaseList(pName) {}

    POSITION GetHeadPosition() const { return GetHeadPositionI(); }
    POSITION GetTailPosition() const { return GetTailPositionI(); }
    int GetCount() const { return m_Count; }

    OBJECT *GetNext(POSITION &rp) const { return static_cast<OBJECT *>(GetNextI(rp)); }
    OBJECT *Get(POSITION p) const { return static_cast<OBJECT *>(GetI(p)); }
    OBJECT *GetValid(POSITION p) const { return static_cast<OBJECT *>(GetValidI(p)); }
    OBJECT *GetHead() const { return Get(GetHeadPosition()); }

    OBJECT *RemoveHead() { return static_cast<OBJECT *>(RemoveHeadI()); }
    OBJECT *RemoveTail() { return static_cast<OBJECT *>(RemoveTailI()); }
    OBJECT *Remove(POSITION p) { return static_cast<OBJECT *>(RemoveI(p)); }

    POSITION AddBefore(POSITION p, OBJECT *pObj) { return AddBeforeI(p, pObj); }
    POSITION AddAfter(POSITION p, OBJECT *pObj) { return AddAfterI(p, pObj); }
    POSITION AddHead(OBJECT *pObj) { return AddHeadI(pObj); }
    POSITION AddTail(OBJECT *pObj) { return AddTailI(pObj); }
    BOOL AddTail(CGenericList<OBJECT> *pList) { return CBaseList::AddTail(static_cast<CBaseList *>(pList)); }
    BOOL AddHead(CGenericList<OBJECT> *pList) { return CBaseList::AddHead(static_cast<CBaseList *>(pList)); }
    BOOL AddAfter(POSITION p, CGenericList<OBJECT> *pList)
    {
        return CBaseList::AddAfter(p, static_cast<CBaseList *>(pList));
    }
    BOOL AddBefore(POSITION p, CGenericList<OBJECT> *pList)
    {
        return CBaseList::AddBefore(p, static_cast<CBaseList *>(pList));
    }

    POSITION Find(OBJECT *pObj) const { return FindI(pObj); }
};
