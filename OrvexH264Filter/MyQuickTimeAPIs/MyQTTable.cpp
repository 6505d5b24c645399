#include "MyQuickTimeAPIs/MyQTTable.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"

namespace {

constexpr DWORD kCount = 12;
constexpr DWORD kEntries = 16;
constexpr DWORD kSampleSizeCommon = 12;
constexpr DWORD kSampleSizeCount = 16;
constexpr DWORD kSampleSizeEntries = 20;

// True if count entries of entrySize bytes fit in the atom from offset on.
bool EntriesFit(const BYTE *atom, DWORD offset, LONG count, DWORD entrySize)
{
    return count >= 0 && ULONGLONG(offset) + ULONGLONG(count) * entrySize <= MyQTAtomSize(atom);
}

} // namespace

CMyQTTable::CMyQTTable(const BYTE *atom, DWORD entrySize)
    : m_entries(atom + kEntries), m_entrySize(entrySize), m_count(LONG(MyQTAtomReadBE32(atom, kCount)))
{
    if (!EntriesFit(atom, kEntries, m_count, entrySize)) throw CMyQTException(CMyQTException::kOutsideAtom);
}

DWORD CMyQTTable::Get(LONG index, DWORD field) const
{
    if (index < 0 || index >= m_count || (field + 1) * 4 > m_entrySize)
        throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE32(m_entries + size_t(index) * m_entrySize + field * 4);
}

CMyQTSampleSizeTable::CMyQTSampleSizeTable(const BYTE *atom)
    : m_atom(atom), m_commonSize(MyQTAtomReadBE32(atom, kSampleSizeCommon)),
      m_count(LONG(MyQTAtomReadBE32(atom, kSampleSizeCount)))
{
    if (m_count < 0) throw CMyQTException(CMyQTException::kBadSampleCount);
    if (m_commonSize == 0 && !EntriesFit(atom, kSampleSizeEntries, m_count, 4))
        throw CMyQTException(CMyQTException::kOutsideAtom);
}

DWORD CMyQTSampleSizeTable::GetEntry(LONG index) const
{
    if (m_commonSize != 0 || index < 0 || index >= m_count) throw CMyQTException(CMyQTException::kOutsideAtom);
    return MyQTReadBE32(m_atom + kSampleSizeEntries + size_t(index) * 4);
}
