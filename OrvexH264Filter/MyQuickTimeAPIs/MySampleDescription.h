// Owned copies of a sample description (host order for the fixed fields, as
// GetMediaSampleDescription leaves them). CMyImageDescription is the form used
// for video; it outlives the movie it was copied from.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/SimpleBuffer.h"

class CMySampleDescription {
public:
    // Takes a copy of count bytes.
    CMySampleDescription(const BYTE *bytes, DWORD count);
    virtual ~CMySampleDescription() = default;
    CMySampleDescription(const CMySampleDescription &) = delete;
    CMySampleDescription &operator=(const CMySampleDescription &) = delete;

    const BYTE *GetData() const { return m_buffer.GetData(); }
    DWORD GetSize() const { return m_buffer.GetSize(); }
    // The description's own size field (host order), or 0 if the copy is too short for it.
    DWORD GetDescriptionSize() const;
    // The data format (host order), or 0 if the copy is too short for it.
    DWORD GetDataFormat() const;

protected:
    // The host-order 16- or 32-bit field at offset, 0 if beyond the copy.
    WORD ReadWord(DWORD offset) const;
    DWORD ReadDword(DWORD offset) const;

private:
    CSimpleBuffer m_buffer;
};

class CMyImageDescription : public CMySampleDescription {
public:
    using CMySampleDescription::CMySampleDescription;

    SHORT GetWidth() const { return SHORT(ReadWord(32)); }
    SHORT GetHeight() const { return SHORT(ReadWord(34)); }
    WORD GetDepth() const { return ReadWord(82); }

    // The first extension atom of the given type (e.g. MyQTFourCC("avcC")) after
    // the 86-byte fixed part, or null. The atom returned lies wholly inside the
    // copy and inside the description's own size; its header is big-endian.
    // The walk ends at an atom whose size is below 8 or exceeds what remains.
    const BYTE *FindExtension(DWORD type) const;
};
