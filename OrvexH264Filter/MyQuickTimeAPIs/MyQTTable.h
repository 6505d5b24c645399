// Bounded readers of the fixed-entry sample tables, for code that reads the
// tables directly. The entry count (signed, at 12) is taken as the file says;
// a count larger than the entries the atom holds does not refuse the table,
// only a read that leaves it: reads beyond the count, or beyond the atom,
// throw CMyQTException kOutsideAtom.
#pragma once

#include <windows.h>

class CMyQTTable {
public:
    // Tables with entries from 16: 'stts' (8-byte entries), 'stss' (4),
    // 'stsc' (12), 'stco' (4). atom must not be null.
    CMyQTTable(const BYTE *atom, DWORD entrySize);

    LONG GetCount() const { return m_count; }
    // The entries that can be read: the count, or fewer when the atom ends first.
    LONG GetReadableCount() const { return m_readable; }
    // Field `field` (0-based, 32-bit big-endian) of entry `index` (0-based).
    DWORD Get(LONG index, DWORD field = 0) const;

private:
    const BYTE *m_entries;
    DWORD m_entrySize;
    LONG m_count;
    LONG m_readable;
};

// The 'stsz' table: common sample size at 12, sample count at 16, sizes from
// 20 when the common size is 0. A negative sample count throws
// kBadSampleCount; reading a size that lies beyond the atom throws kOutsideAtom.
class CMyQTSampleSizeTable {
public:
    explicit CMyQTSampleSizeTable(const BYTE *atom);

    DWORD GetCommonSize() const { return m_commonSize; }
    LONG GetCount() const { return m_count; }
    // Table entry index (only with common size 0); beyond the count throws kOutsideAtom.
    DWORD GetEntry(LONG index) const;

private:
    const BYTE *m_atom;
    DWORD m_commonSize;
    LONG m_count;
};
