#include "MyQuickTimeAPIs/MySampleDescription.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"

#include <algorithm>
#include <cstring>

CMySampleDescription::CMySampleDescription(const BYTE *bytes, DWORD count) : m_buffer(bytes, count) {}

WORD CMySampleDescription::ReadWord(DWORD offset) const
{
    WORD value = 0;
    if (ULONGLONG(offset) + sizeof(value) <= GetSize()) std::memcpy(&value, GetData() + offset, sizeof(value));
    return value;
}

DWORD CMySampleDescription::ReadDword(DWORD offset) const
{
    DWORD value = 0;
    if (ULONGLONG(offset) + sizeof(value) <= GetSize()) std::memcpy(&value, GetData() + offset, sizeof(value));
    return value;
}

DWORD CMySampleDescription::GetDescriptionSize() const
{
    return ReadDword(0);
}

DWORD CMySampleDescription::GetDataFormat() const
{
    return ReadDword(4);
}

const BYTE *CMyImageDescription::FindExtension(DWORD type) const
{
    // The extensions run from the fixed part to the description's own end,
    // which must also be inside the copy.
    DWORD end = std::min(GetDescriptionSize(), GetSize());
    if (end < kMyQTImageDescriptionSize) return nullptr;
    DWORD remaining = end - kMyQTImageDescriptionSize;
    const BYTE *position = GetData() + kMyQTImageDescriptionSize;
    // Each step needs a whole header to read the type; an atom smaller than
    // a header is stepped over all the same.
    while (remaining >= kMyQTAtomHeaderSize) {
        DWORD size = MyQTAtomSize(position);
        if (size == 0 || size > remaining) return nullptr;
        if (MyQTAtomType(position) == type) return position;
        remaining -= size;
        position += size;
    }
    return nullptr;
}
