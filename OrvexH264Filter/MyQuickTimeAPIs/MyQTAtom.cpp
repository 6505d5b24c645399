#include "MyQuickTimeAPIs/MyQTAtom.h"

#include "MyQuickTimeAPIs/MyQTException.h"

bool MyQTAtomHas(const BYTE *atom, DWORD offset, DWORD count)
{
    return ULONGLONG(offset) + count <= MyQTAtomSize(atom);
}

BYTE MyQTAtomRead8(const BYTE *atom, DWORD offset)
{
    if (!MyQTAtomHas(atom, offset, 1)) throw CMyQTException(CMyQTException::kOutsideAtom);
    return atom[offset];
}

WORD MyQTAtomReadBE16(const BYTE *atom, DWORD offset)
{
    if (!MyQTAtomHas(atom, offset, 2)) throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE16(atom + offset);
}

DWORD MyQTAtomReadBE32(const BYTE *atom, DWORD offset)
{
    if (!MyQTAtomHas(atom, offset, 4)) throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE32(atom + offset);
}

CMyQTAtomIterator::CMyQTAtomIterator(const BYTE *parent, const BYTE *first)
    : m_parent(parent), m_current(Check(first ? first : parent + kMyQTAtomHeaderSize))
{
}

// The child at `child` if it is well formed and lies inside the parent, else null.
const BYTE *CMyQTAtomIterator::Check(const BYTE *child) const
{
    if (!child || child < m_parent + kMyQTAtomHeaderSize) return nullptr;
    ULONGLONG parentSize = MyQTAtomSize(m_parent);
    ULONGLONG offset = ULONGLONG(child - m_parent);
    if (offset + kMyQTAtomHeaderSize > parentSize) return nullptr;
    ULONGLONG size = MyQTAtomSize(child);
    if (size < kMyQTAtomHeaderSize || offset + size > parentSize) return nullptr;
    return child;
}

const BYTE *CMyQTAtomIterator::Next()
{
    const BYTE *child = m_current;
    if (!child) return nullptr;
    ULONGLONG next = ULONGLONG(child - m_parent) + MyQTAtomSize(child);
    m_current = next < MyQTAtomSize(m_parent) ? Check(m_parent + next) : nullptr;
    return child;
}
