#include "MyQuickTimeAPIs/MyQTTable.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"

#include <algorithm>

namespace {

constexpr DWORD kCount = 12;
constexpr DWORD kEntries = 16;
constexpr DWORD kSampleSizeCommon = 12;
constexpr DWORD kSampleSizeCount = 16;
constexpr DWORD kSampleSizeEntries = 20;

// How many of count entries of entrySize bytes lie in the atom from offset on.
LONG EntriesInAtom(const BYTE *atom, DWORD offset, LONG count, DWORD entrySize)
{
    const DWORD size = MyQTAtomSize(atom);
    if (count <= 0 || size <= offset) return 0;
    return LONG(std::min<ULONGLONG>(ULONGLONG(count), (size - offset) / entrySize));
}

} // namespace

CMyQTTable::CMyQTTable(const BYTE *atom, DWORD entrySize)
    : m_entries(atom + kEntries), m_entrySize(entrySize), m_count(LONG(MyQTAtomReadBE32(atom, kCount))),
      m_readable(EntriesInAtom(atom, kEntries, m_count, entrySize))
{
}

DWORD CMyQTTable::Get(LONG index, DWORD field) const
{
    if (index < 0 || index >= m_readable || (field + 1) * 4 > m_entrySize)
        throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE32(m_entries + size_t(index) * m_entrySize + field * 4);
}

CMyQTSampleSizeTable::CMyQTSampleSizeTable(const BYTE *atom)
    : m_atom(atom), m_commonSize(MyQTAtomReadBE32(atom, kSampleSizeCommon)),
      m_count(LONG(MyQTAtomReadBE32(atom, kSampleSizeCount)))
{
    if (m_count < 0) throw CMyQTException(CMyQTException::kBadSampleCount);
}

DWORD CMyQTSampleSizeTable::GetEntry(LONG index) const
{
    if (m_commonSize != 0 || index < 0 || index >= EntriesInAtom(m_atom, kSampleSizeEntries, m_count, 4))
        throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE32(m_atom + kSampleSizeEntries + size_t(index) * 4);
}
