// Atoms as they lie in the loaded movie atom: a 32-bit big-endian size (header
// included) and a four-character type, the body right after. Helpers here read
// big-endian numbers and walk the children of a container.
//
// An atom pointer handed out by CMyQTAtomIterator (and so by the whole movie
// model) always points at an atom whose size field is at least 8 and which
// lies wholly inside its parent, and so inside the movie atom: reads bounded
// by the atom's own size field are safe.
#pragma once

#include <windows.h>

// A four-character code as the big-endian number it is in a file: MyQTFourCC("moov") == 0x6D6F6F76.
constexpr DWORD MyQTFourCC(const char (&code)[5])
{
    return (DWORD(BYTE(code[0])) << 24) | (DWORD(BYTE(code[1])) << 16) | (DWORD(BYTE(code[2])) << 8) |
           DWORD(BYTE(code[3]));
}

constexpr DWORD kMyQTAtomHeaderSize = 8;

inline WORD MyQTReadBE16(const BYTE *p)
{
    return WORD((p[0] << 8) | p[1]);
}
inline DWORD MyQTReadBE32(const BYTE *p)
{
    return (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | DWORD(p[3]);
}
inline void MyQTWriteBE32(BYTE *p, DWORD v)
{
    p[0] = BYTE(v >> 24);
    p[1] = BYTE(v >> 16);
    p[2] = BYTE(v >> 8);
    p[3] = BYTE(v);
}

inline DWORD MyQTAtomSize(const BYTE *atom)
{
    return MyQTReadBE32(atom);
}
inline DWORD MyQTAtomType(const BYTE *atom)
{
    return MyQTReadBE32(atom + 4);
}

// Reads of a field at offset bytes from the atom's start. A field that does not
// lie wholly inside the atom (by its size field) throws CMyQTException kOutsideAtom.
BYTE MyQTAtomRead8(const BYTE *atom, DWORD offset);
WORD MyQTAtomReadBE16(const BYTE *atom, DWORD offset);
DWORD MyQTAtomReadBE32(const BYTE *atom, DWORD offset);
// True if count bytes from offset lie inside the atom.
bool MyQTAtomHas(const BYTE *atom, DWORD offset, DWORD count);

// Walks the children of a container atom in file order. A child whose size
// field is below 8, or which runs past the parent's end, ends the walk: only
// well-formed children are visited.
class CMyQTAtomIterator {
public:
    // first defaults to the parent's first child, 8 bytes into it; a first
    // outside the parent's body gives an empty walk.
    explicit CMyQTAtomIterator(const BYTE *parent, const BYTE *first = nullptr);

    // The current child, or null at the end; moves on to the next one.
    const BYTE *Next();

private:
    const BYTE *Check(const BYTE *child) const;
    const BYTE *m_parent;
    const BYTE *m_current;
};
