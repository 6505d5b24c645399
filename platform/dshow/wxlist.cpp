// CBaseList: node bookkeeping and the list operations.
#include "wxlist.h"

#include <new>

CBaseList::CNodeCache::~CNodeCache()
{
    CNode *pNode = m_pHead;
    while (pNode) {
        CNode *pCurrent = pNode;
        pNode = pNode->Next();
        delete pCurrent;
    }
}

void CBaseList::CNodeCache::AddToCache(CNode *pNode)
{
    if (m_iUsed < m_iCacheSize) {
        pNode->SetNext(m_pHead);
        m_pHead = pNode;
        m_iUsed++;
    } else {
        delete pNode;
    }
}

CBaseList::CNode *CBaseList::CNodeCache::RemoveFromCache()
{
    CNode *pNode = m_pHead;
    if (pNode != NULL) {
        m_pHead = pNode->Next();
        m_iUsed--;
    }
    return pNode;
}

CBaseList::CBaseList(CObjectName pName, INT iItems)
    : m_pFirst(NULL), m_pLast(NULL), m_Count(0), m_Cache(iItems), m_pName(pName)
{
}

CBaseList::CBaseList(CObjectName pName) : CBaseList(pName, DEFAULTCACHE) {}

CBaseList::~CBaseList()
{
    RemoveAll();
}

void CBaseList::RemoveAll()
{
    CNode *pn = m_pFirst;
    while (pn) {
        CNode *op = pn;
        pn = pn->Next();
        delete op;
    }
    m_Count = 0;
    m_pFirst = m_pLast = NULL;
}

CBaseList::CNode *CBaseList::NewNode(void *pObject)
{
    CNode *pNode = m_Cache.RemoveFromCache();
    if (pNode == NULL) pNode = new (std::nothrow) CNode;
    if (pNode == NULL) return NULL;
    pNode->SetData(pObject);
    pNode->SetPrev(NULL);
    pNode->SetNext(NULL);
    return pNode;
}

void *CBaseList::GetNextI(POSITION &rp) const
{
    if (rp == NULL) return NULL;
    CNode *pn = Node(rp);
    rp = Pos(pn->Next());
    return pn->GetData();
}

POSITION CBaseList::FindI(void *pObj) const
{
    for (CNode *pn = m_pFirst; pn; pn = pn->Next()) {
        if (pn->GetData() == pObj) return Pos(pn);
    }
    return NULL;
}

void *CBaseList::RemoveHeadI()
{
    return RemoveI(Pos(m_pFirst));
}

void *CBaseList::RemoveTailI()
{
    return RemoveI(Pos(m_pLast));
}

void *CBaseList::RemoveI(POSITION pos)
{
    if (pos == NULL) return NULL;
    CNode *pCurrent = Node(pos);
    CNode *pNode = pCurrent->Prev();
    if (pNode == NULL) {
        m_pFirst = pCurrent->Next();
    } else {
        pNode->SetNext(pCurrent->Next());
    }
    pNode = pCurrent->Next();
    if (pNode == NULL) {
        m_pLast = pCurrent->Prev();
    } else {
        pNode->SetPrev(pCurrent->Prev());
    }
    void *pObject = pCurrent->GetData();
    m_Cache.AddToCache(pCurrent);
    --m_Count;
    return pObject;
}

POSITION CBaseList::AddTailI(void *pObject)
{
    CNode *pNode = NewNode(pObject);
    if (pNode == NULL) return NULL;
    pNode->SetPrev(m_pLast);
    if (m_pLast == NULL) {
        m_pFirst = pNode;
    } else {
        m_pLast->SetNext(pNode);
    }
    m_pLast = pNode;
    ++m_Count;
    return Pos(pNode);
}

POSITION CBaseList::AddHeadI(void *pObject)
{
    CNode *pNode = NewNode(pObject);
    if (pNode == NULL) return NULL;
    pNode->SetNext(m_pFirst);
    if (m_pFirst == NULL) {
        m_pLast = pNode;
    } else {
        m_pFirst->SetPrev(pNode);
    }
    m_pFirst = pNode;
    ++m_Count;
    return Pos(pNode);
}

POSITION CBaseList::AddAfterI(POSITION pos, void *pObj)
{
    if (pos == NULL) return AddHeadI(pObj);
    CNode *pAfter = Node(pos);
    if (pAfter == m_pLast) return AddTailI(pObj);
    CNode *pNode = NewNode(pObj);
    if (pNode == NULL) return NULL;
    CNode *pBefore = pAfter->Next();
    pNode->SetPrev(pAfter);
    pNode->SetNext(pBefore);
    pBefore->SetPrev(pNode);
    pAfter->SetNext(pNode);
    ++m_Count;
    return Pos(pNode);
}

POSITION CBaseList::AddBeforeI(POSITION pos, void *pObj)
{
    if (pos == NULL) return AddTailI(pObj);
    CNode *pBefore = Node(pos);
    if (pBefore == m_pFirst) return AddHeadI(pObj);
    CNode *pNode = NewNode(pObj);
    if (pNode == NULL) return NULL;
    CNode *pAfter = pBefore->Prev();
    pNode->SetPrev(pAfter);
    pNode->SetNext(pBefore);
    pBefore->SetPrev(pNode);
    pAfter->SetNext(pNode);
    ++m_Count;
    return Pos(pNode);
}

BOOL CBaseList::AddTail(CBaseList *pList)
{
    POSITION pos = pList->GetHeadPositionI();
    while (pos) {
        if (AddTailI(pList->GetNextI(pos)) == NULL) return FALSE;
    }
    return TRUE;
}

BOOL CBaseList::AddHead(CBaseList *pList)
{
    for (POSITION pos = pList->GetTailPositionI(); pos; pos = pList->Prev(pos)) {
        if (AddHeadI(pList->GetValidI(pos)) == NULL) return FALSE;
    }
    return TRUE;
}

BOOL CBaseList::AddAfter(POSITION p, CBaseList *pList)
{
    POSITION pos = pList->GetHeadPositionI();
    while (pos) {
        p = AddAfterI(p, pList->GetNextI(pos));
        if (p == NULL) return FALSE;
    }
    return TRUE;
}

BOOL CBaseList::AddBefore(POSITION p, CBaseList *pList)
{
    for (POSITION pos = pList->GetTailPositionI(); pos; pos = pList->Prev(pos)) {
        p = AddBeforeI(p, pList->GetValidI(pos));
        if (p == NULL) return FALSE;
    }
    return TRUE;
}

BOOL CBaseList::MoveToTail(POSITION pos, CBaseList *pList)
{
    if (pos == NULL) return TRUE;
    CNode *pSplit = Node(pos);
    // Count the head part: the nodes up to and including pos.
    LONG cMove = 0;
    for (CNode *p = m_pFirst; p; p = p->Next()) {
        ++cMove;
        if (p == pSplit) break;
    }
    CNode *pHead = m_pFirst;
    m_pFirst = pSplit->Next();
    if (m_pFirst == NULL) {
        m_pLast = NULL;
    } else {
        m_pFirst->SetPrev(NULL);
    }
    m_Count -= cMove;

    pSplit->SetNext(NULL);
    pHead->SetPrev(pList->m_pLast);
    if (pList->m_pLast == NULL) {
        pList->m_pFirst = pHead;
    } else {
        pList->m_pLast->SetNext(pHead);
    }
    pList->m_pLast = pSplit;
    pList->m_Count += cMove;
    return TRUE;
}

BOOL CBaseList::MoveToHead(POSITION pos, CBaseList *pList)
{
    if (pos == NULL) return TRUE;
    CNode *pSplit = Node(pos);
    // Count the tail part: pos and the nodes after it.
    LONG cMove = 0;
    for (CNode *p = pSplit; p; p = p->Next())
        ++cMove;
    CNode *pTail = m_pLast;
    m_pLast = pSplit->Prev();
    if (m_pLast == NULL) {
        m_pFirst = NULL;
    } else {
        m_pLast->SetNext(NULL);
    }
    m_Count -= cMove;

    pSplit->SetPrev(NULL);
    pTail->SetNext(pList->m_pFirst);
    if (pList->m_pFirst == NULL) {
        pList->m_pLast = pTail;
    } else {
        pList->m_pFirst->SetPrev(pTail);
    }
    pList->m_pFirst = pSplit;
    pList->m_Count += cMove;
    return TRUE;
}

void CBaseList::Reverse()
{
    CNode *p = m_pFirst;
    while (p) {
        CNode *next = p->Next();
        p->SetNext(p->Prev());
        p->SetPrev(next);
        p = next;
    }
    CNode *first = m_pFirst;
    m_pFirst = m_pLast;
    m_pLast = first;
}
